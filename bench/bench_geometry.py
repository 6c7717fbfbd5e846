"""Measures and extrusions against their peers.

Targets: measure() at least 2x faster than MEDCoupling's getMeasureField and PyVista's
compute_cell_sizes, and no slower than the vectorised NumPy formula on the same arrays;
extrusions at least 2x faster than MEDCoupling's buildExtrudedMesh, within 2x of writing the
result's bytes once, with a peak of at most 1.3x the result.
"""

import functools

import numpy as np

import zentra
from harness import Workload


def quad_grid(n):
    return zentra.build_cmesh(np.linspace(0, 1, n + 1), np.linspace(0, 1, n + 1))


def tri_surface(n):
    """2 n² triangles of a wavy surface in 3D."""
    g = quad_grid(n)
    xy = g.coords()
    coords = np.column_stack([xy, np.sin(3 * xy[:, 0]) * np.cos(2 * xy[:, 1])])
    q = g.blocks()["QUAD4"]
    m = zentra.UMesh(coords)
    m.add_regular_block("TRI3", np.vstack([q[:, [0, 1, 2]], q[:, [0, 2, 3]]]))
    return m


def helix(points, turns=2.0, radius=3.0, pitch=1.5):
    a = np.linspace(0, 2 * np.pi * turns, points)
    return np.column_stack([radius * np.cos(a), radius * np.sin(a), pitch * a])


def mc_umesh(coords, conn, cell_type, dim):
    import medcoupling as mc

    # MEDCoupling arrays made from NumPy arrays may borrow their memory: deep copies outlive them.
    m = mc.MEDCouplingUMesh("m", dim)
    m.setCoords(mc.DataArrayDouble(np.ascontiguousarray(coords)).deepCopy())
    e, w = conn.shape
    flat = np.column_stack([np.full(e, cell_type, dtype=np.int64), conn.astype(np.int64)]).ravel()
    index = np.arange(0, e * (w + 1) + 1, w + 1, dtype=np.int64)
    m.setConnectivity(mc.DataArrayInt64(flat).deepCopy(), mc.DataArrayInt64(index).deepCopy())
    return m


def mc_polyline(points):
    import medcoupling as mc

    k = len(points)
    return mc_umesh(points, np.column_stack([np.arange(k - 1), np.arange(1, k)]), mc.NORM_SEG2, 1)


class Input:
    """One mesh and, built on first use (the harness's warm-up), each peer's view of it."""

    def __init__(self, mesh, block, path=None):
        self.mesh, self.block, self.path = mesh, block, path

    @functools.cached_property
    def coords(self):
        return self.mesh.coords()

    @functools.cached_property
    def index(self):
        return self.mesh.blocks()[self.block].astype(np.intp)

    @functools.cached_property
    def mc(self):
        import medcoupling as mc

        c = self.coords if self.path is None else np.column_stack([self.coords, np.zeros(len(self.coords))])
        kind = {"QUAD4": mc.NORM_QUAD4, "TRI3": mc.NORM_TRI3}[self.block]
        return mc_umesh(c, self.index, kind, 2)

    @functools.cached_property
    def mc_path(self):
        return mc_polyline(self.path)

    @functools.cached_property
    def pv(self):
        import pyvista as pv

        c = self.coords if self.coords.shape[1] == 3 else np.column_stack([self.coords, np.zeros(len(self.coords))])
        e, w = self.index.shape
        cells = np.column_stack([np.full(e, w), self.index]).ravel()
        return pv.UnstructuredGrid(cells, np.full(e, {3: 5, 4: 9}[w], dtype=np.uint8), c)


def numpy_quad_area(d):
    p = d.coords[d.index]
    x, y = p[..., 0], p[..., 1]
    plus = (x[:, 1] * y[:, 2] + x[:, 3] * y[:, 0]) + (x[:, 0] * y[:, 1] + x[:, 2] * y[:, 3])
    minus = (x[:, 1] * y[:, 0] + x[:, 3] * y[:, 2]) + (x[:, 2] * y[:, 1] + x[:, 0] * y[:, 3])
    return 0.5 * np.abs(plus - minus)


def numpy_tri_area(d):
    p = d.coords[d.index]
    return np.linalg.norm(np.cross(p[:, 1] - p[:, 0], p[:, 2] - p[:, 0]), axis=1) * 0.5


def measure_impls(formula):
    return {
        "zentra": lambda d: d.mesh.measure(),
        "numpy formula": formula,
        "medcoupling getMeasureField": lambda d: d.mc.getMeasureField(True),
        "pyvista compute_cell_sizes": lambda d: d.pv.compute_cell_sizes(length=False, area=True, volume=False),
    }


def extruded_bytes(section_nodes, section_cells, layers):
    # coordinates, HEX8 connectivity, families
    return section_nodes * layers * 3 * 8 + section_cells * (layers - 1) * (8 * 8 + 8)


def write_once(d):
    """The result's bytes written once into fresh arrays: coordinates, connectivity, families."""
    n, e = len(d.coords), len(d.index)
    layers = len(d.path)
    return (np.full((n * layers, 3), 1.0), np.full((e * (layers - 1), 8), 1, dtype=np.uint64),
            np.zeros(e * (layers - 1), dtype=np.uint64))


def mc_extrude(d, policy):
    # Repeated calls on one source mesh slow down from call to call and sometimes crash, so each
    # run extrudes fresh copies (about 3% of its time).
    return d.mc.deepCopy().buildExtrudedMesh(d.mc_path.deepCopy(), policy)


STRAIGHT = np.column_stack([np.zeros(11), np.zeros(11), np.linspace(0, 1, 11)])
HELIX = helix(100)

WORKLOADS = [
    Workload("measure() 4M QUAD4 in 2D", lambda: Input(quad_grid(2000), "QUAD4"), measure_impls(numpy_quad_area)),
    Workload("measure() 4M TRI3 in 3D", lambda: Input(tri_surface(1414), "TRI3"), measure_impls(numpy_tri_area)),
    Workload("extrude 1000x1000 QUAD4, 11 layers (10M HEX8)", lambda: Input(quad_grid(1000), "QUAD4", STRAIGHT),
             {"zentra": lambda d: d.mesh.extrude(d.path[:, 2]),
              "write result bytes once": write_once,
              "medcoupling buildExtrudedMesh": lambda d: mc_extrude(d, 0)},
             result_bytes=lambda d: extruded_bytes(1001**2, 1000**2, 11)),
    # A larger section makes MEDCoupling's curvilinear extrusion run out of memory.
    Workload("extrude_curv 200x200 QUAD4 along a 100-point helix (3.96M HEX8)",
             lambda: Input(quad_grid(200), "QUAD4", HELIX),
             {"zentra": lambda d: d.mesh.extrude_curv(d.path),
              "write result bytes once": write_once,
              "medcoupling buildExtrudedMesh": lambda d: mc_extrude(d, 1)},
             result_bytes=lambda d: extruded_bytes(201**2, 200**2, 100)),
]
