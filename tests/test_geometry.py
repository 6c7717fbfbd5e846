"""Measures and extrusions through the Python contract, with cross-checks against peers."""

import inspect

import numpy as np
import pytest

import zentra

U64 = np.uint64


def _matrix(values, dtype):
    a = np.asarray(values, dtype=dtype)
    return a.reshape(-1, 1) if a.ndim == 1 else a


def mesh(coords, **blocks):
    m = zentra.UMesh(_matrix(coords, np.float64))
    for name, conn in blocks.items():
        m.add_regular_block(name, _matrix(conn, U64))
    return m


def of(src):
    coords, blocks = src
    return mesh(coords, **blocks)


SQUARES_2D = [[0, 0], [1, 0], [2, 0], [0, 1], [1, 1], [2, 1]]
SQUARES = dict(QUAD4=[[0, 1, 4, 3], [1, 2, 5, 4]])
EDGES = dict(SEG2=[[0, 1], [1, 2]])
TRI_3D = [[1, 0, 0], [0, 1, 0], [0, 0, 1], [0, 0, 0]]


# (what, coords, blocks, expected dict of type -> values, or the InternalError message)
MEASURE_CASES = [
    ("quad4 and its edges: only the top dimension", SQUARES_2D, {**SQUARES, **EDGES}, {"QUAD4": [1.0, 1.0]}),
    ("seg2 lengths in 2d", [[0, 0], [3, 4], [3, 5]], EDGES, {"SEG2": [5.0, 1.0]}),
    ("seg2 lengths in 3d", [[0, 0, 0], [1, 2, 2], [1, 2, 3]], EDGES, {"SEG2": [3.0, 1.0]}),
    ("vertices in 2d", [[5, 6], [7, 8]], dict(VERTEX=[[0], [1]]), {"VERTEX": [0.0, 0.0]}),
    ("vertices in 3d", [[5, 6, 7]], dict(VERTEX=[[0]]), {"VERTEX": [0.0]}),
    ("tri3 in 3d", TRI_3D, dict(TRI3=[[0, 1, 2], [3, 0, 1]]), {"TRI3": [np.sqrt(3) / 2, 0.5]}),
    ("tri3 clockwise and collinear", [[0, 0], [2, 0], [0, 3], [4, 0]], dict(TRI3=[[0, 2, 1], [0, 1, 3]]),
     {"TRI3": [3.0, 0.0]}),
    ("quad4 self-crossing", [[0, 0], [1, 1], [1, 0], [0, 1]], dict(QUAD4=[[0, 1, 2, 3]]), {"QUAD4": [0.0]}),
    ("keys in byte order", [[0, 0], [1, 0], [1, 1], [0, 1]], dict(TRI3=[[0, 1, 2]], QUAD4=[[0, 1, 2, 3]]),
     {"QUAD4": [1.0], "TRI3": [0.5]}),
    ("empty block", [[0, 0]], dict(TRI3=np.zeros((0, 3))), {"TRI3": []}),
    ("no coordinate column: zeros whatever the type", np.zeros((4, 0)), dict(TET4=[[0, 1, 2, 3]], TRI3=[[0, 1, 2]]),
     {"TET4": [0.0]}),
    ("tri3 plus quad4 in 3d", [*TRI_3D], dict(TRI3=[[0, 1, 2]], QUAD4=[[0, 1, 2, 3]]), "not yet implemented"),
    ("tet4 in 3d", TRI_3D, dict(TET4=[[0, 1, 2, 3]]), "not yet implemented"),
    ("hex8 in 3d", TRI_3D, dict(HEX8=[[0, 1, 2, 3, 0, 1, 2, 3]]), "not yet implemented"),
    ("space of width 1", [[0], [1]], dict(SEG2=[[0, 1]]), "not yet implemented"),
    ("space of width 4", [[0, 0, 0, 0]], dict(VERTEX=[[0]]),
     "4 is not a valid space dimension. Space (coordinates) dimension must be 0, 1, 2 ou 3."),
    ("node beyond the coordinates", [[0, 0], [1, 0]], dict(TRI3=[[0, 1, 9]]), "node 9 is out of range"),
]


@pytest.mark.parametrize("what,coords,blocks,expected", MEASURE_CASES, ids=[c[0] for c in MEASURE_CASES])
def test_measure_table(what, coords, blocks, expected):
    m = mesh(coords, **blocks)
    if isinstance(expected, str):
        with pytest.raises(zentra.InternalError) as e:
            m.measure()
        assert str(e.value).startswith(expected)
        return
    got = m.measure()
    assert list(got) == list(expected)
    for name, values in expected.items():
        assert got[name].dtype == np.float64
        assert got[name].shape == (len(values),)
        np.testing.assert_allclose(got[name], values, rtol=0, atol=1e-15)


def test_measure_without_blocks_fails():
    with pytest.raises(zentra.InternalError):
        mesh([[0, 0]]).measure()


def test_measure_result_is_a_copy():
    m = mesh(SQUARES_2D, **SQUARES)
    m.measure()["QUAD4"][:] = 7
    assert m.measure()["QUAD4"].tolist() == [1.0, 1.0]


def test_measure_update_stores_the_measure_on_top_blocks():
    m = mesh(SQUARES_2D, **SQUARES, **EDGES)
    assert m.measure_update() is None
    m.measure_update()
    fields = m.fields()
    assert list(fields) == ["Measure"]
    assert list(fields["Measure"]) == ["QUAD4"]
    np.testing.assert_array_equal(fields["Measure"]["QUAD4"], m.measure()["QUAD4"])


def test_failed_measure_update_leaves_the_mesh_unchanged():
    m = mesh(TRI_3D, TRI3=[[0, 1, 2]], QUAD4=[[0, 1, 2, 3]])
    before = str(m)
    with pytest.raises(zentra.InternalError, match="not yet implemented"):
        m.measure_update()
    assert str(m) == before


@pytest.mark.parametrize("name,sig", [
    ("measure", "($self)"), ("measure_update", "($self)"), ("extrude", "($self, along)"),
    ("extrude_parallel", "($self, along)"), ("extrude_curv", "($self, along)"),
])
def test_signatures(name, sig):
    method = getattr(zentra.UMesh, name)
    assert method.__text_signature__ == sig
    assert method.__doc__ in ("", None)


# ---------------------------------------------------------------------------------- extrusion

QUAD = ([[0, 0], [1, 0], [1, 1], [0, 1]], dict(QUAD4=[[0, 1, 2, 3]]))
LINE = ([[0, 0], [1, 0], [2, 0]], dict(SEG2=[[0, 1], [1, 2]]))
POINT = ([[4.0]], dict(VERTEX=[[0]]))
TRI = ([[0, 0], [1, 0], [0, 1]], dict(TRI3=[[0, 1, 2]]))
MIXED = ([[0, 0], [1, 0], [1, 1], [0, 1]], dict(SEG2=[[0, 1]], QUAD4=[[0, 1, 2, 3]]))

# (what, method, mesh, along, expected blocks | InternalError message prefix, expected coords or None)
EXTRUDE_CASES = [
    ("quad into two hexes", "extrude", QUAD, [0, 1, 2],
     {"HEX8": [[0, 1, 2, 3, 4, 5, 6, 7], [4, 5, 6, 7, 8, 9, 10, 11]]}, None),
    ("segments into quads", "extrude", LINE, [0, 1], {"QUAD4": [[0, 1, 4, 3], [1, 2, 5, 4]]}, None),
    ("vertex into segments", "extrude", POINT, [0, 2, 5], {"SEG2": [[0, 1], [1, 2]]}, [[4, 0], [4, 2], [4, 5]]),
    ("no value: plain copy", "extrude", QUAD, [], {"QUAD4": [[0, 1, 2, 3]]}, QUAD[0]),
    ("one value: same blocks, one more column", "extrude", TRI, [3.0], {"TRI3": [[0, 1, 2]]},
     [[0, 0, 3], [1, 0, 3], [0, 1, 3]]),
    ("mixed blocks", "extrude", MIXED, (0.0, 1.0), {"HEX8": [[0, 1, 2, 3, 4, 5, 6, 7]], "QUAD4": [[0, 1, 5, 4]]},
     None),
    ("tri3 is refused", "extrude", TRI, [0, 1], "not yet implemented: Extrusion of TRI3 is not implemented yet", None),
    ("numpy values", "extrude", POINT, np.array([1.0, 2.0]), {"SEG2": [[0, 1]]}, [[4, 1], [4, 2]]),
    ("parallel shift", "extrude_parallel", QUAD, np.array([[0, 0, 0], [1, 0, 1.0]]), {"HEX8": [list(range(8))]},
     [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [1, 0, 1], [2, 0, 1], [2, 1, 1], [1, 1, 1]]),
    ("parallel, no row", "extrude_parallel", QUAD, np.zeros((0, 3)), {"QUAD4": [[0, 1, 2, 3]]}, QUAD[0]),
    ("parallel, no column", "extrude_parallel", QUAD, np.zeros((2, 0)), {"QUAD4": [[0, 1, 2, 3]]}, QUAD[0]),
    ("parallel, one point", "extrude_parallel", TRI, np.array([[5, 5, 2.0]]), {"TRI3": [[0, 1, 2]]},
     [[0, 0, 2], [1, 0, 2], [0, 1, 2]]),
    ("parallel, too few columns", "extrude_parallel", QUAD, np.zeros((2, 2)), "index out of range", None),
    ("curv straight up", "extrude_curv", QUAD, np.array([[0, 0, 0], [0, 0, 1], [0, 0, 2.0]]),
     {"HEX8": [list(range(8)), list(range(4, 12))]},
     [[x, y, z] for z in (0, 1, 2) for x, y in QUAD[0]]),
    ("curv quarter turn", "extrude_curv", QUAD, np.array([[0, 0, 0], [1, 0, 0.0]]), {"HEX8": [list(range(8))]},
     [[0.5, 0, 0.5], [0.5, 0, -0.5], [0.5, 1, -0.5], [0.5, 1, 0.5],
      [1.5, 0, 0.5], [1.5, 0, -0.5], [1.5, 1, -0.5], [1.5, 1, 0.5]]),
    ("curv, no row", "extrude_curv", QUAD, np.zeros((0, 3)), {"QUAD4": [[0, 1, 2, 3]]}, QUAD[0]),
    ("curv, single point", "extrude_curv", QUAD, np.zeros((1, 3)), "cannot sweep along a path of 1 point", None),
    ("curv, repeated point", "extrude_curv", QUAD, np.array([[0, 0, 0], [0, 0, 0], [0, 0, 1.0]]),
     "cannot sweep along a path whose points 0 and 1 are equal", None),
    ("curv, path turning straight back", "extrude_curv", QUAD, np.array([[0, 0, 0], [0, 0, 1], [0, 0, 0.0]]),
     "cannot sweep along a path that turns straight back at point 1", None),
    ("curv, column count", "extrude_curv", QUAD, np.zeros((2, 4)), "assertion failed", None),
    ("curv, 1d mesh", "extrude_curv", POINT, np.array([[0, 0], [0, 1.0]]), "incompatible shapes", None),
    ("curv, no node", "extrude_curv", (np.zeros((0, 2)), {}), np.array([[0, 0, 0], [0, 0, 1.0]]),
     "cannot sweep a section without nodes", None),
]


@pytest.mark.parametrize("what,method,src,along,expected,coords", EXTRUDE_CASES, ids=[c[0] for c in EXTRUDE_CASES])
def test_extrude_table(what, method, src, along, expected, coords):
    m = of(src)
    before = str(m)
    if isinstance(expected, str):
        with pytest.raises(zentra.InternalError) as e:
            getattr(m, method)(along)
        assert str(e.value).startswith(expected), str(e.value)
    else:
        out = getattr(m, method)(along)
        blocks = out.blocks()
        assert list(blocks) == list(expected)
        for name, conn in expected.items():
            assert blocks[name].dtype == U64
            np.testing.assert_array_equal(blocks[name], np.array(conn, dtype=U64).reshape(len(conn), -1))
        if coords is not None:
            np.testing.assert_allclose(out.coords(), np.asarray(coords, dtype=float).reshape(out.coords().shape),
                                       rtol=0, atol=1e-14)
    assert str(m) == before


@pytest.mark.parametrize("method,along", [
    ("extrude", []), ("extrude", [1.0]), ("extrude", [0.0, 1.0]),
    ("extrude_parallel", np.zeros((0, 3))), ("extrude_parallel", np.array([[0, 0, 1.0], [0, 0, 2]])),
    ("extrude_curv", np.array([[0, 0, 0], [0, 0, 1.0]])),
])
def test_extrusion_carries_no_field(method, along):
    m = of(QUAD)
    m.measure_update()
    out = getattr(m, method)(along)
    assert out.fields() == {}
    assert "Measure" not in str(out)
    assert list(m.fields()) == ["Measure"]


@pytest.mark.parametrize("along", ["abc", 3.0, [1.0, "x"], None])
def test_extrude_values_conversion_error_has_no_argument_prefix(along):
    with pytest.raises(TypeError) as e:
        of(QUAD).extrude(along)
    assert not str(e.value).startswith("argument")


@pytest.mark.parametrize("method", ["extrude_parallel", "extrude_curv"])
@pytest.mark.parametrize("along", [[[0.0, 0, 0], [0, 0, 1]], np.zeros(3), np.zeros((2, 3), dtype=np.int64),
                                   np.zeros((2, 3, 1))])
def test_extrude_path_conversion_names_along(method, along):
    with pytest.raises(TypeError, match="^argument 'along': "):
        getattr(of(QUAD), method)(along)


def test_extrude_path_accepts_any_layout():
    path = np.asfortranarray(np.array([[0, 0, 0], [0, 1, 1], [1, 2, 3.0]]))
    strided = np.zeros((3, 6))[:, ::2]
    strided[:] = path
    a = of(QUAD).extrude_curv(path).coords()
    b = of(QUAD).extrude_curv(strided).coords()
    np.testing.assert_array_equal(a, b)


def test_straight_extrusion_of_a_grid_equals_the_three_axis_grid():
    x, y, z = [0.0, 1.0, 2.5, 4.0], [0.0, 0.5, 2.0], [-1.0, 0.0, 3.0, 3.5]
    out = zentra.build_cmesh(x, y).extrude(z)
    ref = zentra.build_cmesh(x, y, z)
    np.testing.assert_array_equal(out.coords(), ref.coords())
    assert list(out.blocks()) == ["HEX8"]
    np.testing.assert_array_equal(out.blocks()["HEX8"], ref.blocks()["HEX8"])


# ---------------------------------------------------- curvilinear sweep against an independent model

def _rotation(t1, t2):
    """Rotation matrix carrying the unit vector t1 onto t2, from axis and angle."""
    axis = np.cross(t1, t2)
    sine = np.linalg.norm(axis)
    cosine = float(np.dot(t1, t2))
    if cosine > 0.999999:
        return np.eye(3)
    if cosine < -0.999999:
        x, y, z = np.abs(t1)
        e = np.eye(3)[(0 if x < z else 2) if x < y else (1 if y < z else 2)]
        k = np.cross(t1, e)
        k /= np.linalg.norm(k)
        return 2 * np.outer(k, k) - np.eye(3)
    k = axis / sine
    K = np.array([[0, -k[2], k[1]], [k[2], 0, -k[0]], [-k[1], k[0], 0]])
    theta = np.arctan2(sine, cosine)
    return np.eye(3) + np.sin(theta) * K + (1 - np.cos(theta)) * K @ K


def sweep_reference(section, path):
    L = len(path)
    tangents = [np.array([0.0, 0.0, 1.0]), path[1] - path[0]]
    tangents += [path[k + 1] - path[k - 1] for k in range(1, L - 1)]
    tangents.append(path[L - 1] - path[L - 2])
    s = np.column_stack([section, np.full(len(section), path[0, 2])])
    layers = []
    for k in range(L):
        c = s.mean(axis=0)
        t1 = tangents[k] / np.linalg.norm(tangents[k])
        t2 = tangents[k + 1] / np.linalg.norm(tangents[k + 1])
        s = c + (s - c) @ _rotation(t1, t2).T
        if k:
            s = s + (path[k] - path[k - 1])
        layers.append(s)
    return np.vstack(layers)


def _helix(points, turns=2.0, radius=3.0, pitch=1.5):
    a = np.linspace(0, 2 * np.pi * turns, points)
    return np.column_stack([radius * np.cos(a), radius * np.sin(a), pitch * a])


@pytest.mark.parametrize("path", [
    _helix(40),
    np.array([[0, 0, 0], [1, 0, 0.2], [1.5, 1, 0.1], [1.5, 2, 1], [0, 2, 2.0]]),
    np.array([[0, 0, 0], [0, 0, -1], [0, 1, -2], [0, 1, -1.5]]),  # two opposite turns
], ids=["helix", "polyline", "opposite"])
def test_curvilinear_sweep_matches_independent_rotation(path):
    grid = zentra.build_cmesh([0.0, 0.3, 1.0], [0.0, 0.5, 0.7, 1.2])
    section = grid.coords()
    got = grid.extrude_curv(path).coords()
    np.testing.assert_allclose(got, sweep_reference(section, path), rtol=0, atol=1e-9)


def test_curvilinear_sweep_keeps_layers_rigid():
    grid = zentra.build_cmesh([0.0, 0.3, 1.0], [0.0, 0.5, 0.7, 1.2])
    n = len(grid.coords())
    layers = grid.extrude_curv(_helix(25)).coords().reshape(25, n, 3)
    first = np.linalg.norm(layers[0][:, None] - layers[0][None], axis=-1)
    for layer in layers[1:]:
        np.testing.assert_allclose(np.linalg.norm(layer[:, None] - layer[None], axis=-1), first, atol=1e-9)


# ------------------------------------------------------------------------ peers' measures

def _wavy_quad_grid(n=12):
    rng = np.random.default_rng(3)
    g = zentra.build_cmesh(np.linspace(0, 1, n).tolist(), np.linspace(0, 2, n).tolist())
    coords = g.coords() + rng.uniform(-0.02, 0.02, size=g.coords().shape)
    m = zentra.UMesh(coords)
    m.add_regular_block("QUAD4", g.blocks()["QUAD4"])
    return m


def _tri_surface():
    rng = np.random.default_rng(5)
    pts = rng.uniform(-1, 1, size=(60, 3))
    tris = np.array([rng.choice(60, 3, replace=False) for _ in range(80)], dtype=U64)
    m = zentra.UMesh(pts)
    m.add_regular_block("TRI3", tris)
    return m


def _pyvista_cell_sizes(points, cells, vtk_type, quantity):
    pv = pytest.importorskip("pyvista")
    pts = np.column_stack([points, np.zeros(len(points))]) if points.shape[1] == 2 else points
    w = cells.shape[1]
    flat = np.column_stack([np.full(len(cells), w), cells.astype(np.int64)]).ravel()
    grid = pv.UnstructuredGrid(flat, np.full(len(cells), vtk_type, dtype=np.uint8), pts)
    sized = grid.compute_cell_sizes(length=quantity == "Length", area=quantity == "Area", volume=False)
    return np.asarray(sized.cell_data[quantity])


def test_quad_areas_match_pyvista():
    m = _wavy_quad_grid()
    ours = m.measure()["QUAD4"]
    np.testing.assert_allclose(ours, _pyvista_cell_sizes(m.coords(), m.blocks()["QUAD4"], 9, "Area"), rtol=1e-12)


def test_triangle_areas_in_3d_match_pyvista():
    m = _tri_surface()
    ours = m.measure()["TRI3"]
    np.testing.assert_allclose(ours, _pyvista_cell_sizes(m.coords(), m.blocks()["TRI3"], 5, "Area"), rtol=1e-12)


def test_segment_lengths_match_pyvista():
    rng = np.random.default_rng(7)
    m = mesh(rng.uniform(size=(30, 3)), SEG2=rng.choice(30, size=(40, 2)))
    ours = m.measure()["SEG2"]
    np.testing.assert_allclose(ours, _pyvista_cell_sizes(m.coords(), m.blocks()["SEG2"], 3, "Length"), rtol=1e-12)


@pytest.mark.parametrize("make,mc_type", [(_wavy_quad_grid, "NORM_QUAD4"), (_tri_surface, "NORM_TRI3")])
def test_areas_match_medcoupling(make, mc_type):
    mc = pytest.importorskip("medcoupling")
    m = make()
    name, conn = next(iter(m.blocks().items()))
    coords = m.coords()
    um = mc.MEDCouplingUMesh("m", 2)
    um.setCoords(mc.DataArrayDouble(coords))
    um.allocateCells(len(conn))
    for row in conn.astype(np.int64):
        um.insertNextCell(getattr(mc, mc_type), row.tolist())
    um.finishInsertingCells()
    theirs = um.getMeasureField(True).getArray().toNumPyArray()
    np.testing.assert_allclose(m.measure()[name], theirs, rtol=1e-12)


@pytest.mark.parametrize("name,args", [("measure", ()), ("measure_update", ()), ("extrude", ([0.0],)),
                                       ("extrude_parallel", (np.zeros((1, 3)),)), ("extrude_curv", (np.zeros((2, 3)),))])
def test_receiver_must_be_a_umesh(name, args):
    with pytest.raises(TypeError):
        getattr(zentra.UMesh, name)(object(), *args)
