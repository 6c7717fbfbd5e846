"""Measures and extrusions against their peers, printed as time ratios (peer / zentra).

    PYTHONPATH=build/dev .venv/bin/python bench/bench_geometry.py [--scale 0.25]

Targets: measure() at least 2x faster than MEDCoupling's getMeasureField and PyVista's
compute_cell_sizes and no slower than the vectorised NumPy formula; extrusions at least 2x
faster than MEDCoupling's buildExtrudedMesh, within 2x of writing the result's bytes once, and
peaking at no more than 1.3x the result's size. Peak memory is measured in a child process.
"""

import argparse
import gc
import json
import subprocess
import sys
import time

import numpy as np

import zentra

try:
    import medcoupling as mc
except ImportError:
    mc = None
try:
    import pyvista as pv
except ImportError:
    pv = None


def best(f, repeat=5):
    times = []
    for _ in range(repeat):
        gc.collect()
        t = time.perf_counter()
        r = f()
        times.append(time.perf_counter() - t)
        del r
    return min(times)


# ------------------------------------------------------------------------------ inputs

def quad_grid(n):
    return zentra.build_cmesh(np.linspace(0, 1, n + 1).tolist(), np.linspace(0, 1, n + 1).tolist())


def tri_surface(n):
    """2 n² triangles of a wavy surface in 3D."""
    g = quad_grid(n)
    xy = g.coords()
    coords = np.column_stack([xy, np.sin(3 * xy[:, 0]) * np.cos(2 * xy[:, 1])])
    q = g.blocks()["QUAD4"]
    tris = np.vstack([q[:, [0, 1, 2]], q[:, [0, 2, 3]]])
    m = zentra.UMesh(coords)
    m.add_regular_block("TRI3", tris)
    return m


def helix(points, turns=2.0, radius=3.0, pitch=1.5):
    a = np.linspace(0, 2 * np.pi * turns, points)
    return np.column_stack([radius * np.cos(a), radius * np.sin(a), pitch * a])


def mc_umesh(coords, conn, cell_type, dim):
    m = mc.MEDCouplingUMesh("m", dim)
    m.setCoords(mc.DataArrayDouble(np.ascontiguousarray(coords)))
    e, w = conn.shape
    flat = np.column_stack([np.full(e, cell_type, dtype=np.int64), conn.astype(np.int64)]).ravel()
    index = np.arange(0, e * (w + 1) + 1, w + 1, dtype=np.int64)
    m.setConnectivity(mc.DataArrayInt64(flat), mc.DataArrayInt64(index))
    return m


def pv_grid(coords, conn, vtk_type):
    pts = np.column_stack([coords, np.zeros(len(coords))]) if coords.shape[1] == 2 else coords
    e, w = conn.shape
    cells = np.column_stack([np.full(e, w, dtype=np.int64), conn.astype(np.int64)]).ravel()
    return pv.UnstructuredGrid(cells, np.full(e, vtk_type, dtype=np.uint8), pts)


# --------------------------------------------------------------------------- measures

def numpy_quad_area(coords, conn):
    p = coords[conn]
    x, y = p[..., 0], p[..., 1]
    plus = (x[:, 1] * y[:, 2] + x[:, 3] * y[:, 0]) + (x[:, 0] * y[:, 1] + x[:, 2] * y[:, 3])
    minus = (x[:, 1] * y[:, 0] + x[:, 3] * y[:, 2]) + (x[:, 2] * y[:, 1] + x[:, 0] * y[:, 3])
    return 0.5 * np.abs(plus - minus)


def numpy_tri_area(coords, conn):
    p = coords[conn]
    a = p[:, 1] - p[:, 0]
    b = p[:, 2] - p[:, 0]
    return np.linalg.norm(np.cross(a, b), axis=1) * 0.5


def bench_measure(name, m, block, numpy_formula, mc_type, vtk_type, mc_dim):
    coords = m.coords()
    conn = m.blocks()[block]
    ours = best(m.measure)
    rows = [(name, "zentra measure()", ours, None)]
    idx = conn.astype(np.intp)
    rows.append((name, "NumPy formula", best(lambda: numpy_formula(coords, idx)), ours))
    np.testing.assert_allclose(m.measure()[block], numpy_formula(coords, idx), rtol=1e-12)
    if mc is not None:
        um = mc_umesh(coords, conn, mc_type, mc_dim)
        rows.append((name, "MEDCoupling getMeasureField", best(lambda: um.getMeasureField(True), 3), ours))
        del um
    if pv is not None:
        g = pv_grid(coords, conn, vtk_type)
        rows.append((name, "PyVista compute_cell_sizes",
                     best(lambda: g.compute_cell_sizes(length=False, area=True, volume=False), 3), ours))
        del g
    return rows


# ------------------------------------------------------------------------- extrusions

def write_once(rows_coords, cols, elements, width):
    """Writes arrays of the result's sizes once: coordinates, connectivity, families."""
    a = np.full((rows_coords, cols), 1.0)
    b = np.full((elements, width), 1, dtype=np.uint64)
    c = np.zeros(elements, dtype=np.uint64)
    return a, b, c


def bench_extrude(n, layers):
    m = quad_grid(n)
    heights = np.linspace(0, 1, layers).tolist()
    nodes, cells = (n + 1) ** 2, n * n
    ours = best(lambda: m.extrude(heights))
    name = f"extrude {n}x{n} QUAD4, {layers} layers ({cells * (layers - 1) / 1e6:g}M HEX8)"
    rows = [(name, "zentra extrude", ours, None),
            (name, "write result bytes once", best(lambda: write_once(nodes * layers, 3, cells * (layers - 1), 8), 3),
             ours)]
    if mc is not None:
        coords = np.column_stack([m.coords(), np.zeros(nodes)])
        um = mc_umesh(coords, m.blocks()["QUAD4"], mc.NORM_QUAD4, 2)
        z = np.column_stack([np.zeros(layers), np.zeros(layers), heights])
        line = mc_umesh(z, np.column_stack([np.arange(layers - 1), np.arange(1, layers)]), mc.NORM_SEG2, 1)
        rows.append((name, "MEDCoupling buildExtrudedMesh", best(lambda: um.buildExtrudedMesh(line, 0), 2), ours))
    return rows


def bench_extrude_curv(n, points):
    m = quad_grid(n)
    path = helix(points)
    nodes, cells = (n + 1) ** 2, n * n
    ours = best(lambda: m.extrude_curv(path))
    name = f"extrude_curv {n}x{n} QUAD4 along a {points}-point helix ({cells * (points - 1) / 1e6:g}M HEX8)"
    rows = [(name, "zentra extrude_curv", ours, None),
            (name, "write result bytes once", best(lambda: write_once(nodes * points, 3, cells * (points - 1), 8), 3),
             ours)]
    if mc is not None:
        coords = np.column_stack([m.coords(), np.zeros(nodes)])
        um = mc_umesh(coords, m.blocks()["QUAD4"], mc.NORM_QUAD4, 2)
        line = mc_umesh(path, np.column_stack([np.arange(points - 1), np.arange(1, points)]), mc.NORM_SEG2, 1)
        rows.append((name, "MEDCoupling buildExtrudedMesh (policy 1)",
                     best(lambda: um.buildExtrudedMesh(line, 1), 2), ours))
    return rows


# ------------------------------------------------------------------ peak memory (child)

def _status(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) * 1024
    raise KeyError(key)


def child_peak(kind, n, layers):
    m = quad_grid(n)
    arg = np.linspace(0, 1, layers).tolist() if kind == "extrude" else helix(layers)
    gc.collect()
    before = _status("VmRSS:")
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # resets the high-water mark to the current size
    out = getattr(m, kind)(arg)
    peak = _status("VmHWM:") - before
    cells = n * n * (layers - 1)
    result = (n + 1) ** 2 * layers * 3 * 8 + cells * 8 * 8 + cells * 8
    assert out.coords().shape[0] == (n + 1) ** 2 * layers
    print(json.dumps({"peak": peak, "result": result}))


def peak_ratio(kind, n, layers):
    out = subprocess.run([sys.executable, __file__, "--child", kind, str(n), str(layers)],
                         check=True, capture_output=True, text=True).stdout
    r = json.loads(out)
    return r["peak"] / r["result"], r["result"]


# ------------------------------------------------------------------------------ main

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scale", type=float, default=1.0, help="fraction of the issue's sizes (element counts)")
    ap.add_argument("--child", nargs=3)
    a = ap.parse_args()
    if a.child:
        child_peak(a.child[0], int(a.child[1]), int(a.child[2]))
        return
    s = a.scale ** 0.5
    rows = []
    nq = int(round(2000 * s))
    rows += bench_measure(f"measure {nq * nq / 1e6:g}M QUAD4 in 2D", quad_grid(nq), "QUAD4", numpy_quad_area,
                          mc.NORM_QUAD4 if mc else None, 9, 2)
    nt = int(round(1414 * s))
    rows += bench_measure(f"measure {2 * nt * nt / 1e6:g}M TRI3 in 3D", tri_surface(nt), "TRI3", numpy_tri_area,
                          mc.NORM_TRI3 if mc else None, 5, 2)
    ne = int(round(1000 * s))
    rows += bench_extrude(ne, 11)
    nc = int(round(200 * s))  # MEDCoupling's curvilinear extrusion runs out of memory on larger sections
    rows += bench_extrude_curv(nc, 100)

    width = max(len(r[1]) for r in rows)
    case = None
    for name, who, t, ours in rows:
        if name != case:
            print(f"\n{name}")
            case = name
        ratio = "" if ours is None else f"   ratio {t / ours:6.2f}"
        print(f"  {who:<{width}} {t * 1e3:9.1f} ms{ratio}")
    print()
    for kind, n, layers in (("extrude", ne, 11), ("extrude_curv", nc, 100)):
        ratio, result = peak_ratio(kind, n, layers)
        print(f"peak memory of {kind}: {ratio:.2f}x the result ({result / 2**20:.0f} MiB)")


if __name__ == "__main__":
    main()
