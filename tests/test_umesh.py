import inspect
import sys

import numpy as np
import pytest

import zentra
from zentra import InternalError, UMesh, build_cmesh

U64 = np.uint64


def tri(*rows):
    return np.array(rows, dtype=U64)


SIGNATURES = [
    ("coords", "coords($self)\n--\n\nReturns a copy owned by python of the array coordinates", "(self, /)"),
    ("block_types", "block_types($self)\n--\n\n", "(self, /)"),
    ("blocks", "blocks($self)\n--\n\n", "(self, /)"),
    ("fields", "fields($self)\n--\n\n", "(self, /)"),
    (
        "add_regular_block",
        "add_regular_block($self, et, block, fields=None)\n--\n\nAdd a regular block of elements to the mesh.",
        "(self, /, et, block, fields=None)",
    ),
]


@pytest.mark.parametrize("name, doc, signature", SIGNATURES)
def test_method_docstrings_give_builtin_signatures(name, doc, signature):
    method = getattr(UMesh, name)
    text_sig, _, rest = doc.partition("\n--\n\n")
    assert method.__text_signature__ == text_sig[len(name):]
    assert method.__doc__ == (rest or None)
    assert str(inspect.signature(method)) == signature


def test_class_and_function_signatures():
    assert UMesh.__text_signature__ == "(coords)"
    assert UMesh.__doc__ is None
    assert str(inspect.signature(UMesh)) == "(coords)"
    assert build_cmesh.__text_signature__ == "(*args)"
    assert str(inspect.signature(build_cmesh)) == "(*args)"


def test_module_shell():
    assert isinstance(zentra.__doc__, str) and zentra.__doc__
    assert zentra.sel.__name__ == "sel"
    assert sys.modules["zentra.sel"] is zentra.sel
    assert issubclass(InternalError, BaseException)
    assert not issubclass(InternalError, Exception)
    assert "BaseException" in InternalError.__doc__


def test_empty_mesh():
    m = UMesh(np.zeros((0, 3)))
    assert m.blocks() == {}
    assert m.block_types() == []
    assert m.fields() == {}
    assert m.coords().shape == (0, 3)


@pytest.mark.parametrize(
    "make",
    [
        lambda a: np.asfortranarray(a),
        lambda a: np.ascontiguousarray(np.repeat(a, 2, axis=1))[:, ::2],
        lambda a: a[::-1][::-1],
        lambda a: a.astype(">f8"),
        lambda a: np.ascontiguousarray(a.T).T,
    ],
    ids=["fortran", "strided", "view", "big-endian", "transposed"],
)
def test_coords_of_any_layout_are_copied_row_major(make):
    ref = np.arange(12, dtype=np.float64).reshape(4, 3)
    src = make(ref.copy())
    m = UMesh(src)
    out = m.coords()
    assert out.dtype == np.float64 and out.flags.c_contiguous and out.flags.owndata
    np.testing.assert_array_equal(out, ref)
    out[0, 0] = 99.0
    np.testing.assert_array_equal(m.coords(), ref)


def test_input_arrays_are_copied(square):
    coords = np.zeros((3, 2))
    m = UMesh(coords)
    conn = tri([0, 1, 2])
    rho = np.array([5.0])
    m.add_regular_block("TRI3", conn, {"rho": rho})
    coords[:] = 7
    conn[:] = 0
    rho[:] = 0
    assert m.coords().max() == 0
    np.testing.assert_array_equal(m.blocks()["TRI3"], [[0, 1, 2]])
    assert m.fields()["rho"]["TRI3"][0] == 5.0


def mesh():
    return UMesh(np.zeros((3, 2)))


BAD_ARGUMENTS = [
    # (call, exception, message start)
    (lambda: UMesh(np.zeros(3)), TypeError, "argument 'coords': "),
    (lambda: UMesh(np.zeros((3, 2), dtype=np.int64)), TypeError, "argument 'coords': "),
    (lambda: UMesh(np.zeros((3, 2), dtype=np.float32)), TypeError, "argument 'coords': "),
    (lambda: UMesh([[0.0, 0.0]]), TypeError, "argument 'coords': "),
    (lambda: UMesh(), TypeError, "argument 'coords': "),
    (lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]).astype(np.int64)), TypeError, "argument 'block': "),
    (lambda: mesh().add_regular_block("TRI3", tri(0, 1, 2)), TypeError, "argument 'block': "),
    (lambda: mesh().add_regular_block(3, tri([0, 1, 2])), TypeError, "argument 'et': "),
    (lambda: mesh().add_regular_block("TRI3"), TypeError, "argument 'block': "),
    (lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]), []), TypeError, "argument 'fields': "),
    (lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]), {1: np.zeros(1)}), TypeError, "argument 'fields': "),
    (lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]), {"f": [1.0]}), TypeError, "argument 'fields': "),
    (
        lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]), {"f": np.zeros(1, dtype=np.float32)}),
        TypeError,
        "argument 'fields': ",
    ),
    (lambda: mesh().add_regular_block("PGON", tri([0, 1, 2])), InternalError, "Unsupported element type: PGON"),
    (lambda: mesh().add_regular_block("tri3", tri([0, 1, 2])), InternalError, "Unsupported element type: tri3"),
    (lambda: mesh().add_regular_block("SPLINE", tri([0, 1])), InternalError, "Unsupported element type: SPLINE"),
    (lambda: mesh().add_regular_block(" TRI3", tri([0, 1, 2])), InternalError, "Unsupported element type:  TRI3"),
    (lambda: mesh().add_regular_block("TRI3", tri([0, 1, 2]), x=1), TypeError, "add_regular_block() got an"),
    (lambda: mesh().coords(1), TypeError, "coords() takes at most 0 arguments"),
    (lambda: UMesh.coords(1), TypeError, ""),
    (lambda: build_cmesh(), InternalError, "Cannot create coordinates for more than 3 axes"),
    (lambda: build_cmesh([0], [0], [0], [0]), InternalError, "Cannot add more than three axes to a regular mesh builder"),
    (lambda: build_cmesh("abc"), TypeError, "argument 'args': "),
    (lambda: build_cmesh([0, "x"]), TypeError, "argument 'args': "),
    (lambda: build_cmesh(3), TypeError, "argument 'args': "),
    (lambda: build_cmesh([0, 1], []), InternalError, "Cannot create a regular mesh: axis 1 has no values"),
    (lambda: build_cmesh(x=[0, 1]), TypeError, ""),
    (lambda: build_cmesh(np.array([1j, 2])), TypeError, "argument 'args': "),
    (lambda: build_cmesh(np.zeros((2, 2))), TypeError, "argument 'args': "),
]


@pytest.mark.parametrize("call, exc, start", BAD_ARGUMENTS)
def test_bad_arguments(call, exc, start):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc
    assert str(info.value).startswith(start), str(info.value)


def test_failed_add_leaves_mesh_unchanged(square):
    before = str(square)
    for call in [
        lambda: square.add_regular_block("QUAD4", tri([0, 1, 2, 3]), {"f": np.zeros(1, dtype=np.int32)}),
        lambda: square.add_regular_block("QUAD4", tri([0, 1, 2, 3]).astype(np.int64)),
        lambda: square.add_regular_block("PGON", tri([0, 1, 2, 3])),
    ]:
        with pytest.raises((TypeError, InternalError)):
            call()
    assert str(square) == before


def test_add_regular_block_accepts_equivalent_dtypes_in_any_layout():
    m = UMesh(np.zeros((6, 2)))
    m.add_regular_block("TRI3", np.array([[0, 1, 2]], dtype=np.ulonglong),
                        {"f": np.ones((1, 2, 2), dtype=">f8"), "g": np.zeros((1, 2))})
    quads = np.asfortranarray(np.array([[0, 1, 2, 3], [2, 3, 4, 5]], dtype=">u8"))
    field = np.arange(12.0).reshape(2, 6)[:, ::3]
    m.add_regular_block("QUAD4", quads, {"g": field, "f": np.ones((2, 2, 2))})
    np.testing.assert_array_equal(m.blocks()["TRI3"], [[0, 1, 2]])
    np.testing.assert_array_equal(m.blocks()["QUAD4"], [[0, 1, 2, 3], [2, 3, 4, 5]])
    assert m.blocks()["QUAD4"].dtype == np.uint64 and m.blocks()["QUAD4"].dtype.isnative
    assert m.fields()["f"]["TRI3"].shape == (1, 2, 2)
    np.testing.assert_array_equal(m.fields()["g"]["QUAD4"], [[0.0, 3.0], [6.0, 9.0]])


def test_second_block_of_a_type_is_ignored(square):
    assert square.add_regular_block("TRI3", tri([1, 2, 3]), {"other": np.zeros(1)}) is None
    np.testing.assert_array_equal(square.blocks()["TRI3"], [[0, 1, 2], [0, 2, 3]])
    assert list(square.fields()) == ["rho"]


def test_dict_keys_are_bytewise_while_block_types_follow_type_order():
    m = UMesh(np.zeros((9, 3)))
    m.add_regular_block("SEG2", tri([0, 1]))
    m.add_regular_block("HEX8", tri(list(range(8))))
    m.add_regular_block("QUAD4", tri([0, 1, 2, 3]))
    m.add_regular_block("TRI3", tri([0, 1, 2]))
    assert m.block_types() == ["SEG2", "TRI3", "QUAD4", "HEX8"]
    assert list(m.blocks()) == ["HEX8", "QUAD4", "SEG2", "TRI3"]


def test_fields_by_name_and_dimension():
    m = UMesh(np.zeros((4, 2)))
    m.add_regular_block("TRI3", tri([0, 1, 2]), {"rho": np.array([1.0]), "b": np.array([[1.0, 2.0]])})
    m.add_regular_block("QUAD4", tri([0, 1, 2, 3]), {"rho": np.array([2.0]), "b": np.array([[3.0, 4.0]])})
    m.add_regular_block("SEG2", tri([0, 1]), {"s": np.array([7.0])})
    f = m.fields()
    assert list(f) == ["b", "rho", "s"]
    assert list(f["rho"]) == ["QUAD4", "TRI3"]
    assert f["b"]["QUAD4"].shape == (1, 2)
    np.testing.assert_array_equal(f["s"]["SEG2"], [7.0])


def test_fields_fail_when_a_block_of_the_dimension_lacks_the_field():
    m = UMesh(np.zeros((4, 2)))
    m.add_regular_block("TRI3", tri([0, 1, 2]), {"rho": np.array([1.0])})
    m.add_regular_block("QUAD4", tri([0, 1, 2, 3]))
    with pytest.raises(InternalError):
        m.fields()


def test_str_dumps_every_member(square):
    s = str(square)
    for part in [
        "UMeshBase {",
        "coords: [[0.0, 0.0],",
        "shape=[4, 2], strides=[2, 1], layout=",
        "const ndim=2",
        "TRI3: ElementBlockBase {",
        "cell_type: TRI3,",
        "connectivity: Regular(",
        '"rho": [1.0, 2.0], shape=[2], strides=[1], layout=',
        "dynamic ndim=1",
        "families: [0, 0], shape=[2]",
        "groups: {},",
    ]:
        assert part in s, part


def test_str_writes_arrays_in_full():
    m = build_cmesh(np.arange(1001.0))
    s = str(m)
    assert "999.0" in s and "[999, 1000]" in s


@pytest.mark.parametrize(
    "axes, ncoords, etype, conn",
    [
        (([0, 1, 2],), (3, 1), "SEG2", [[0, 1], [1, 2]]),
        (([0, 1, 2], [0, 1]), (6, 2), "QUAD4", [[0, 1, 4, 3], [1, 2, 5, 4]]),
        (([0, 1], [0, 1], [0, 1]), (8, 3), "HEX8", [[0, 1, 3, 2, 4, 5, 7, 6]]),
        (([5.0], [0, 1]), (2, 2), "QUAD4", np.zeros((0, 4))),
        ((np.array([0.0, 1.0]), (0, 2)), (4, 2), "QUAD4", [[0, 1, 3, 2]]),
    ],
)
def test_build_cmesh_shapes(axes, ncoords, etype, conn):
    m = build_cmesh(*axes)
    assert m.coords().shape == ncoords
    assert m.block_types() == [etype]
    blocks = m.blocks()
    assert blocks[etype].dtype == np.uint64
    np.testing.assert_array_equal(blocks[etype], np.asarray(conn).reshape(blocks[etype].shape))
    assert m.fields() == {}


def test_build_cmesh_numbering():
    x, y, z = [0.0, 1.0, 2.0], [0.0, 10.0, 20.0, 30.0], [0.0, 100.0, 200.0]
    m = build_cmesh(x, y, z)
    c = m.coords()
    expected = np.array([(a, b, d) for d in z for b in y for a in x])
    np.testing.assert_array_equal(c, expected)
    hexes = m.blocks()["HEX8"]
    assert hexes.shape == (12, 8)
    n0, L = 3, 12
    for cell, (i, j, k) in enumerate((i, j, k) for k in range(2) for j in range(3) for i in range(2)):
        b = i + n0 * j + L * k
        assert list(hexes[cell]) == [b, b + 1, b + n0 + 1, b + n0, b + L, b + L + 1, b + L + n0 + 1, b + L + n0]
    assert hexes[11][0] == 19


def test_build_cmesh_keeps_axis_order():
    m = build_cmesh([2.0, 1.0, 0.0], [0.0, 1.0])
    np.testing.assert_array_equal(m.coords()[:3, 0], [2.0, 1.0, 0.0])
    q = m.coords()[m.blocks()["QUAD4"][0]]
    signed_area = 0.5 * np.sum(q[:, 0] * np.roll(q[:, 1], -1) - np.roll(q[:, 0], -1) * q[:, 1])
    assert signed_area < 0  # one decreasing axis: clockwise


def test_build_cmesh_accepts_integer_like_items():
    m = build_cmesh((0, np.float32(0.5), True), np.arange(2, dtype=np.int32), np.array([0.0, 2.0], dtype=">f8"))
    np.testing.assert_array_equal(m.coords()[:3, 0], [0.0, 0.5, 1.0])
    np.testing.assert_array_equal(m.coords()[-1], [1.0, 1.0, 2.0])


class _Reenter:
    """An index whose conversion calls back into the mesh while the method holds its access."""

    def __init__(self, action):
        self.action = action
        self.error = None

    def __index__(self):
        try:
            self.action()
        except RuntimeError as e:
            self.error = e
        return 1


@pytest.mark.parametrize(
    "method, action, message",
    [
        ("descend", lambda m: m.add_regular_block("SEG2", tri([0, 1])), "Already borrowed"),
        ("descend_update", lambda m: m.coords(), "Already mutably borrowed"),
        ("descend_update", lambda m: str(m), "Already mutably borrowed"),
        ("descend_update", lambda m: m.add_regular_block("SEG2", tri([0, 1])), "Already borrowed"),
    ],
)
def test_access_conflicts(square, method, action, message):
    probe = _Reenter(lambda: action(square))
    getattr(square, method)(src_dim=probe)
    assert type(probe.error) is RuntimeError and str(probe.error) == message
    square.coords()  # the access is released afterwards
    square.add_regular_block("VERTEX", tri([0]))


def test_shared_access_allows_nested_reads(square):
    probe = _Reenter(lambda: square.blocks())
    square.descend(src_dim=probe)
    assert probe.error is None
