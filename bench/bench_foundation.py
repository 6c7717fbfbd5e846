"""Array conversions, the Cartesian grid builder and the structural dump."""

import numpy as np

import zentra
from harness import Workload

N = 10_000_000


def _coords(order):
    def setup():
        a = np.random.default_rng(0).random((N, 3))
        return np.asfortranarray(a) if order == "F" else a

    return setup


def _conn(order):
    def setup():
        a = np.random.default_rng(0).integers(0, N, size=(N, 8), dtype=np.uint64)
        return np.asfortranarray(a) if order == "F" else a

    return setup


# Output conversions: (mesh, the same array in NumPy) so the reference copies what zentra returns.
def _mesh_with_coords():
    a = np.random.default_rng(0).random((N, 3))
    return zentra.UMesh(a), a


def _mesh_with_block():
    a = np.random.default_rng(0).integers(0, N, size=(N, 8), dtype=np.uint64)
    m = zentra.UMesh(np.zeros((1, 3)))
    m.add_regular_block("HEX8", a)
    return m, a


def _axes(n):
    return lambda: [np.linspace(0.0, 1.0, n + 1)] * 3


def numpy_cmesh(axes):
    x, y, z = axes
    n0, n1, n2 = len(x), len(y), len(z)
    zz, yy, xx = np.meshgrid(z, y, x, indexing="ij")
    coords = np.stack([xx.ravel(), yy.ravel(), zz.ravel()], axis=1)
    b = (np.arange(n0 - 1, dtype=np.uint64)[None, None, :] + np.uint64(n0) * np.arange(n1 - 1, dtype=np.uint64)[None, :, None]
         + np.uint64(n0 * n1) * np.arange(n2 - 1, dtype=np.uint64)[:, None, None]).ravel()
    L, n0u = np.uint64(n0 * n1), np.uint64(n0)
    one = np.uint64(1)
    conn = np.stack([b, b + one, b + n0u + one, b + n0u, b + L, b + L + one, b + L + n0u + one, b + L + n0u], axis=1)
    return coords, conn


def medcoupling_cmesh(axes):
    import medcoupling as mc

    m = mc.MEDCouplingCMesh()
    m.setCoords(*[mc.DataArrayDouble(np.ascontiguousarray(a)) for a in axes])
    return m.buildUnstructured()


def _grid_bytes(axes):
    n = len(axes[0])
    return n**3 * 3 * 8 + (n - 1) ** 3 * 8 * 8


def _str_mesh(n):
    return lambda: zentra.build_cmesh(np.linspace(0, 1, n + 1), np.linspace(0, 1, n + 1))


WORKLOADS = [
    Workload("UMesh(coords) 10Mx3 float64, C order", _coords("C"),
             {"zentra": zentra.UMesh, "numpy .copy()": np.ndarray.copy}, result_bytes=lambda a: a.nbytes),
    Workload("UMesh(coords) 10Mx3 float64, Fortran order", _coords("F"),
             {"zentra": zentra.UMesh, "numpy .copy()": np.ndarray.copy}, result_bytes=lambda a: a.nbytes),
    Workload("coords() 10Mx3 float64", _mesh_with_coords,
             {"zentra": lambda d: d[0].coords(), "numpy .copy()": lambda d: d[1].copy()}),
    Workload("add_regular_block 10Mx8 uint64, C order", _conn("C"),
             {"zentra": lambda a: zentra.UMesh(np.zeros((1, 3))).add_regular_block("HEX8", a),
              "numpy .copy()": np.ndarray.copy}, result_bytes=lambda a: a.nbytes),
    Workload("add_regular_block 10Mx8 uint64, Fortran order", _conn("F"),
             {"zentra": lambda a: zentra.UMesh(np.zeros((1, 3))).add_regular_block("HEX8", a),
              "numpy .copy()": np.ndarray.copy}, result_bytes=lambda a: a.nbytes),
    Workload("blocks() 10Mx8 uint64", _mesh_with_block,
             {"zentra": lambda d: d[0].blocks(), "numpy .copy()": lambda d: d[1].copy()}),
    Workload("build_cmesh 200^3 HEX8", _axes(200),
             {"zentra": lambda axes: zentra.build_cmesh(*axes), "numpy vectorised": numpy_cmesh,
              "medcoupling CMesh->UMesh": medcoupling_cmesh}, repeat=3, result_bytes=_grid_bytes),
    Workload("str() 100^2 QUAD4", _str_mesh(100), {"zentra": str}, repeat=3),
    Workload("str() 400^2 QUAD4 (16x the cells)", _str_mesh(400), {"zentra": str}, repeat=3),
]

