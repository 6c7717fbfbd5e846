import numpy as np
import pytest

import zentra


@pytest.fixture
def square():
    """Four nodes of the unit square with one TRI3 block carrying a field."""
    m = zentra.UMesh(np.array([[0.0, 0.0], [1.0, 0.0], [1.0, 1.0], [0.0, 1.0]]))
    m.add_regular_block("TRI3", np.array([[0, 1, 2], [0, 2, 3]], dtype=np.uint64), {"rho": np.array([1.0, 2.0])})
    return m
