"""Boundaries and connected components checked against MEDCoupling and VTK on grids with holes."""

import numpy as np
import pytest

from zentra import UMesh, build_cmesh

mc = pytest.importorskip("medcoupling")
pv = pytest.importorskip("pyvista")

U64 = np.uint64

# The two alternating five-tetrahedron splits of a hexahedron; alternating them by cell parity
# makes neighbouring cells cut their common face along the same diagonal.
SPLIT_EVEN = [[1, 0, 2, 5], [3, 0, 7, 2], [4, 0, 5, 7], [6, 2, 7, 5], [0, 2, 5, 7]]
SPLIT_ODD = [[0, 1, 3, 4], [2, 1, 6, 3], [5, 1, 4, 6], [7, 3, 6, 4], [1, 3, 4, 6]]


def holed_grid(n, keep, seed):
    """HEX8 grid of n cells per side (numbering of build_cmesh) with a random share of cells kept."""
    g = build_cmesh(*(np.arange(k + 1, dtype=float) for k in n))
    hexes = g.blocks()["HEX8"]
    mask = np.random.default_rng(seed).random(len(hexes)) < keep
    ijk = np.indices(n[::-1]).reshape(3, -1)[::-1].T  # cell (i, j, k), i fastest
    return g.coords(), hexes[mask], ijk[mask]


def tets_of(hexes, ijk):
    even = (ijk.sum(axis=1) % 2 == 0)[:, None, None]
    local = np.where(even, np.array(SPLIT_EVEN)[None], np.array(SPLIT_ODD)[None])
    return np.take_along_axis(hexes[:, None, :], local.reshape(len(hexes), -1)[:, None, :], axis=2).reshape(-1, 4)


def ours(coords, name, conn):
    m = UMesh(coords)
    m.add_regular_block(name, conn.astype(U64))
    return m


def med(coords, mc_type, conn):
    m = mc.MEDCouplingUMesh("m", 3)
    m.setCoords(mc.DataArrayDouble(np.ascontiguousarray(coords)))
    n, w = conn.shape
    nodal = np.hstack([np.full((n, 1), mc_type, dtype=np.int64), conn.astype(np.int64)]).ravel()
    m.setConnectivity(mc.DataArrayInt64(nodal), mc.DataArrayInt64(np.arange(0, (w + 1) * n + 1, w + 1)))
    return m


def med_cells(m):
    c = m.getNodalConnectivity().toNumPyArray()
    ci = m.getNodalConnectivityIndex().toNumPyArray()
    return [c[ci[i] + 1:ci[i + 1]] for i in range(len(ci) - 1)]


def keyset(rows):
    return {tuple(sorted(int(v) for v in r)) for r in rows}


CASES = [((4, 3, 3), 0.6, 1), ((5, 4, 3), 0.45, 2), ((6, 5, 4), 0.12, 5), ((8, 3, 3), 0.2, 6)]
KINDS = [("HEX8", mc.NORM_HEXA8, pv.CellType.HEXAHEDRON), ("TET4", mc.NORM_TETRA4, pv.CellType.TETRA)]


def case_mesh(n, keep, seed, kind):
    coords, hexes, ijk = holed_grid(n, keep, seed)
    if kind == "HEX8":
        return coords, hexes
    return coords, tets_of(hexes, ijk)


@pytest.mark.parametrize("kind, mc_type, vtk_type", KINDS)
@pytest.mark.parametrize("n, keep, seed", CASES)
def test_boundaries_match_peers(n, keep, seed, kind, mc_type, vtk_type):
    coords, conn = case_mesh(n, keep, seed, kind)
    b = ours(coords, kind, conn).boundaries()
    face_type = "QUAD4" if kind == "HEX8" else "TRI3"
    got_rows = b.blocks()[face_type] if len(conn) else []
    got = keyset(got_rows)
    assert len(got) == len(got_rows)

    assert got == keyset(med_cells(med(coords, mc_type, conn).computeSkin()))

    surf = pv.UnstructuredGrid({vtk_type: conn.astype(np.int64)}, coords).extract_surface(
        pass_pointid=True, algorithm="geometry")
    original = surf.point_data["vtkOriginalPointIds"]
    assert got == keyset(original[surf.regular_faces])


@pytest.mark.parametrize("kind, mc_type, vtk_type", KINDS)
@pytest.mark.parametrize("n, keep, seed", CASES)
def test_components_match_peers(n, keep, seed, kind, mc_type, vtk_type):
    coords, conn = case_mesh(n, keep, seed, kind)
    m = ours(coords, kind, conn)

    # through faces: MEDCoupling's spread zones, as sets of cells
    pieces = {frozenset(map(tuple, p.blocks()[kind].tolist())) for p in m.connected_components()}
    zones = med(coords, mc_type, conn).partitionBySpreadZone()
    expected = {frozenset(map(tuple, conn[z.toNumPyArray()].tolist())) for z in zones}
    assert pieces == expected

    # through nodes: VTK's point-connected regions
    regions = pv.UnstructuredGrid({vtk_type: conn.astype(np.int64)}, coords).connectivity("all")
    sizes = np.bincount(regions.cell_data["RegionId"])
    by_node = m.connected_components(link_dim=0)
    assert sorted(len(p.blocks()[kind]) for p in by_node) == sorted(sizes.tolist())


def test_tetrahedral_split_is_conforming():
    coords, hexes, ijk = holed_grid((3, 3, 3), 1.0, 0)
    tets = ours(coords, "TET4", tets_of(hexes, ijk))
    # a closed conforming tetrahedral cube: 2 triangles per boundary quadrangle
    assert len(tets.boundaries().blocks()["TRI3"]) == 2 * 6 * 9
