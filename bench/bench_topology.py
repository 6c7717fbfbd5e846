"""Descending meshes, boundaries and connected components on a 100^3 HEX8 grid and on the same
grid split into 5M TET4, against MEDCoupling, VTK/PyVista and the NumPy/SciPy idioms.

`python bench/bench_topology.py --bounds` prints, for zentra, how far each operation is from a
memory-traffic bound: the bytes it must at least read (connectivity) and write (result) over the
copy bandwidth measured here with NumPy.
"""

import functools
import sys
import time

import numpy as np

import harness
import zentra
from harness import Workload

N = 100
U64 = np.uint64

# The two alternating five-tetrahedron splits of a hexahedron (by cell parity, so that
# neighbouring cells cut their common face along the same diagonal).
SPLIT_EVEN = np.array([[1, 0, 2, 5], [3, 0, 7, 2], [4, 0, 5, 7], [6, 2, 7, 5], [0, 2, 5, 7]])
SPLIT_ODD = np.array([[0, 1, 3, 4], [2, 1, 6, 3], [5, 1, 4, 6], [7, 3, 6, 4], [1, 3, 4, 6]])

HEX_FACES = np.array([[0, 1, 2, 3], [0, 3, 7, 4], [0, 4, 5, 1], [1, 5, 6, 2], [2, 6, 7, 3], [4, 7, 6, 5]])
HEX_EDGES = np.array([[0, 1], [0, 3], [0, 4], [1, 2], [1, 5], [2, 3], [2, 6], [3, 7], [4, 5], [4, 7], [5, 6], [6, 7]])
TET_FACES = np.array([[0, 1, 2], [1, 2, 3], [2, 3, 0], [3, 0, 1]])
TET_EDGES = np.array([[0, 1], [0, 2], [0, 3], [1, 2], [1, 3], [2, 3]])


class Input:
    """One mesh, converted for each implementation on first use (outside the timed runs)."""

    def __init__(self, kind):
        self.kind = kind
        axis = np.linspace(0.0, 1.0, N + 1)
        g = zentra.build_cmesh(axis, axis, axis)
        self.coords = g.coords()
        hexes = g.blocks()["HEX8"]
        if kind == "HEX8":
            self.conn = hexes
            self._zentra = g
        else:
            i, j, k = np.unravel_index(np.arange(len(hexes)), (N, N, N), order="F")
            even = ((i + j + k) % 2 == 0)[:, None, None]
            local = np.where(even, SPLIT_EVEN[None], SPLIT_ODD[None]).reshape(len(hexes), -1)
            self.conn = np.take_along_axis(hexes, local, axis=1).reshape(-1, 4)
            del hexes, local
            self._zentra = None

    @functools.cached_property
    def zentra(self):
        if self._zentra is None:
            self._zentra = zentra.UMesh(self.coords)
            self._zentra.add_regular_block(self.kind, self.conn)
        return self._zentra

    @functools.cached_property
    def med(self):
        import medcoupling as mc

        t = mc.NORM_HEXA8 if self.kind == "HEX8" else mc.NORM_TETRA4
        n, w = self.conn.shape
        nodal = np.empty((n, w + 1), dtype=np.int64)
        nodal[:, 0] = t
        nodal[:, 1:] = self.conn
        m = mc.MEDCouplingUMesh("m", 3)
        m.setCoords(mc.DataArrayDouble(self.coords))
        m.setConnectivity(mc.DataArrayInt64(nodal.ravel()), mc.DataArrayInt64(np.arange(0, (w + 1) * n + 1, w + 1)))
        return m

    @functools.cached_property
    def vtk(self):
        import pyvista as pv

        t = pv.CellType.HEXAHEDRON if self.kind == "HEX8" else pv.CellType.TETRA
        return pv.UnstructuredGrid({t: self.conn.astype(np.int64)}, self.coords)

    @property
    def faces(self):
        return HEX_FACES if self.kind == "HEX8" else TET_FACES

    @property
    def edges(self):
        return HEX_EDGES if self.kind == "HEX8" else TET_EDGES


@functools.cache
def _input(kind):
    return Input(kind)


def _setup(kind, warm):
    def setup():
        d = _input(kind)
        getattr(d, warm)
        return d

    return setup


# The NumPy idioms: every sub-entity row sorted, np.unique over the rows.
def numpy_descend(d, local):
    rows = d.conn[:, local].reshape(-1, local.shape[1])
    keys = np.sort(rows, axis=1)
    _, first = np.unique(keys, axis=0, return_index=True)
    return rows[np.sort(first)]


def numpy_boundaries(d):
    rows = d.conn[:, d.faces].reshape(-1, d.faces.shape[1])
    _, first, counts = np.unique(np.sort(rows, axis=1), axis=0, return_index=True, return_counts=True)
    return rows[np.sort(first[counts == 1])]


def scipy_components(d):
    from scipy.sparse import coo_matrix
    from scipy.sparse.csgraph import connected_components

    nf = d.faces.shape[0]
    keys = np.sort(d.conn[:, d.faces].reshape(-1, d.faces.shape[1]), axis=1)
    _, inverse = np.unique(keys, axis=0, return_inverse=True)
    inverse = inverse.ravel()
    cells = np.repeat(np.arange(len(d.conn)), nf)
    order = np.argsort(inverse, kind="stable")
    f, c = inverse[order], cells[order]
    shared = f[1:] == f[:-1]
    a, b = c[:-1][shared], c[1:][shared]
    n = len(d.conn)
    graph = coo_matrix((np.ones(len(a), dtype=np.int8), (a, b)), shape=(n, n)).tocsr()
    count, labels = connected_components(graph, directed=False)
    return [np.flatnonzero(labels == i) for i in range(count)] if count < 100 else labels


def vtk_connectivity(d):
    import vtk

    f = vtk.vtkConnectivityFilter()
    f.SetInputData(d.vtk)
    f.SetExtractionModeToAllRegions()
    f.ColorRegionsOn()
    f.Update()
    return f.GetOutput()


def vtk_surface(d):
    return d.vtk.extract_surface(pass_pointid=False, pass_cellid=False, algorithm="geometry")


def workloads(kind):
    label = f"{N}^3 HEX8" if kind == "HEX8" else f"{N}^3 HEX8 split into 5M TET4"
    med, vtk = _setup(kind, "med"), _setup(kind, "vtk")
    rep = 3 if kind == "HEX8" else 2
    return [
        Workload(f"descend() {label}", med,
                 {"zentra": lambda d: d.zentra.descend(),
                  "MEDCoupling buildDescendingConnectivity": lambda d: d.med.buildDescendingConnectivity(),
                  "numpy sort+unique": lambda d: numpy_descend(d, d.faces)}, repeat=rep),
        Workload(f"descend(3, 1) {label}", med,
                 {"zentra": lambda d: d.zentra.descend(3, 1),
                  "MEDCoupling explode3DMeshTo1D": lambda d: d.med.explode3DMeshTo1D(),
                  "numpy sort+unique": lambda d: numpy_descend(d, d.edges)}, repeat=rep),
        Workload(f"descend(3, 1) {label}, VTK", vtk,
                 {"zentra": lambda d: d.zentra.descend(3, 1),
                  "pyvista extract_all_edges": lambda d: d.vtk.extract_all_edges()}, repeat=rep),
        Workload(f"boundaries() {label}", med,
                 {"zentra": lambda d: d.zentra.boundaries(),
                  "MEDCoupling computeSkin": lambda d: d.med.computeSkin(),
                  "numpy sort+unique+counts": numpy_boundaries}, repeat=rep),
        Workload(f"boundaries() {label}, VTK", vtk,
                 {"zentra": lambda d: d.zentra.boundaries(), "pyvista extract_surface": vtk_surface}, repeat=rep),
        Workload(f"connected_components() {label}", med,
                 {"zentra": lambda d: d.zentra.connected_components(),
                  "MEDCoupling partitionBySpreadZone": lambda d: d.med.partitionBySpreadZone(),
                  "scipy csgraph (graph built)": scipy_components}, repeat=rep),
        Workload(f"connected_components() {label}, VTK", vtk,
                 {"zentra": lambda d: d.zentra.connected_components(),
                  "zentra link_dim=0": lambda d: d.zentra.connected_components(link_dim=0),
                  "vtkConnectivityFilter (by points)": vtk_connectivity}, repeat=rep),
    ]


WORKLOADS = workloads("HEX8") + workloads("TET4")


def _copy_bandwidth():
    a = np.ones(64 * 2**20 // 8 * 8)  # 512 MiB
    b = np.empty_like(a)
    best = float("inf")
    for _ in range(5):
        t0 = time.perf_counter()
        np.copyto(b, a)
        best = min(best, time.perf_counter() - t0)
    return 2 * a.nbytes / best  # bytes read + written per second


def _mesh_bytes(m):
    total = 0
    for conn in m.blocks().values():
        total += conn.nbytes if isinstance(conn, np.ndarray) else sum(x.nbytes for x in conn)
    return total


def bounds():
    bw = _copy_bandwidth()
    print(f"copy bandwidth (read + write): {bw / 1e9:.1f} GB/s")
    for kind in ("HEX8", "TET4"):
        d = Input(kind)
        m = d.zentra
        ops = [("descend()", lambda: m.descend()), ("descend(3, 1)", lambda: m.descend(3, 1)),
               ("boundaries()", lambda: m.boundaries()), ("connected_components()", lambda: m.connected_components())]
        inp = d.conn.nbytes + d.coords.nbytes
        for name, op in ops:
            r = op()
            del r
            best, peak = float("inf"), 0
            for _ in range(3):
                base = harness._rss_kib("VmRSS")
                harness._reset_peak()
                t0 = time.perf_counter()
                r = op()
                best = min(best, time.perf_counter() - t0)
                peak = max(peak, (harness._rss_kib("VmHWM") - base) * 1024)
                out = sum(_mesh_bytes(p) for p in r) if isinstance(r, list) else _mesh_bytes(r)
                del r
            traffic = d.conn.nbytes + out
            floor = traffic / bw
            print(f"  {kind} {name:<24} {best * 1e3:8.1f} ms; reads+writes at least {traffic / 2**20:7.1f} MiB"
                  f" -> bound {floor * 1e3:6.1f} ms, {best / floor:5.1f}x the bound;"
                  f" peak +{peak / 2**20:7.1f} MiB = {peak / (inp + out):.2f}x (input + output)")
        del d, m


if __name__ == "__main__":
    if "--bounds" in sys.argv:
        bounds()
