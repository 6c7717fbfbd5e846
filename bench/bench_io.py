"""Files and documents: .vtu and .vtk against meshio and VTK on a 200^3 HEX8 grid (8M cells,
uncompressed binary for all), writing against a plain copy of as many bytes to the same place, and
the JSON document on a 1M-node grid against orjson and json on the equivalent dict."""

import atexit
import json
import os
import tempfile

import numpy as np

import zentra
from harness import Workload

# A RAM-backed directory where there is one: the page cache's writeback makes timings on a real
# disk swing by 3x from run to run, which drowns the differences between the writers.
DIR = "/dev/shm" if os.path.isdir("/dev/shm") else tempfile.gettempdir()
N_BIG = 200
N_JSON = 100  # 101^3 nodes


class Lazy:
    """Inputs built on first use, so that each implementation's process builds only its own."""

    def __init__(self, n, ext=None):
        self.n, self.ext, self._cache = n, ext, {}
        atexit.register(self._remove_files)

    def _remove_files(self):
        # The files are as large as the mesh and the directory may be memory: never leave them.
        for p in [self.path, self._cache.get("file")]:
            if p and os.path.exists(p):
                os.remove(p)

    def _get(self, key, build):
        if key not in self._cache:
            self._cache[key] = build()
        return self._cache[key]

    @property
    def mesh(self):
        ax = np.linspace(0.0, 1.0, self.n + 1)
        return self._get("mesh", lambda: zentra.build_cmesh(ax, ax, ax))

    @property
    def arrays(self):
        return self._get("arrays", lambda: (self.mesh.coords(), self.mesh.blocks()["HEX8"]))

    @property
    def meshio_mesh(self):
        import meshio

        pts, conn = self.arrays
        return self._get("meshio", lambda: meshio.Mesh(pts, [("hexahedron", conn.astype(np.int64))]))

    @property
    def vtk_grid(self):
        def build():
            import vtk
            from vtk.util.numpy_support import numpy_to_vtk, numpy_to_vtkIdTypeArray

            pts, conn = self.arrays
            g = vtk.vtkUnstructuredGrid()
            p = vtk.vtkPoints()
            p.SetData(numpy_to_vtk(pts, deep=True))
            g.SetPoints(p)
            cells = vtk.vtkCellArray()
            offsets = np.arange(0, conn.size + 1, 8, dtype=np.int64)
            cells.SetData(numpy_to_vtkIdTypeArray(offsets, deep=True),
                          numpy_to_vtkIdTypeArray(conn.astype(np.int64).ravel(), deep=True))
            g.SetCells(12, cells)
            return g

        return self._get("vtk", build)

    @property
    def path(self):
        return os.path.join(DIR, f"zentra_bench_{os.getpid()}.{self.ext}")

    @property
    def our_file(self):
        """Our file of the mesh, for the readers and for the size of the plain copy."""
        def build():
            p = os.path.join(DIR, f"zentra_bench_src_{os.getpid()}.{self.ext}")
            self.mesh.write(p)
            return p

        return self._get("file", build)

    @property
    def same_bytes(self):
        return self._get("bytes", lambda: os.urandom(1 << 20) * (os.path.getsize(self.our_file) >> 20))


def mesh_bytes(d):
    pts, conn = d.arrays
    return pts.nbytes + conn.nbytes + conn.shape[0] * 8  # coordinates, connectivity, families


def _copy(d):
    with open(d.path, "wb") as f:
        f.write(d.same_bytes)


def _vtk_xml_writer(d):
    import vtk

    w = vtk.vtkXMLUnstructuredGridWriter()
    w.SetInputData(d.vtk_grid)
    w.SetFileName(d.path)
    w.SetDataModeToAppended()
    w.SetEncodeAppendedData(False)
    w.SetCompressorTypeToNone()
    w.SetHeaderTypeToUInt64()
    w.Write()


def _vtk_legacy_writer(d):
    import vtk

    w = vtk.vtkUnstructuredGridWriter()
    w.SetInputData(d.vtk_grid)
    w.SetFileName(d.path)
    w.SetFileTypeToBinary()
    w.Write()


def _vtk_read(cls):
    def read(d):
        import vtk

        r = getattr(vtk, cls)()
        r.SetFileName(d.our_file)
        r.Update()
        return r.GetOutput()

    return read


def _meshio_vtu_write(d):
    import meshio

    meshio.vtu.write(d.path, d.meshio_mesh, binary=True, compression=None)


def _meshio_vtk_write(d):
    import meshio

    meshio.vtk.write(d.path, d.meshio_mesh, binary=True)


def _meshio_read(d):
    import meshio

    return meshio.read(d.our_file)


def _zentra_write(d):
    d.mesh.write(d.path)


def _zentra_read(d):
    return zentra.UMesh.read(d.our_file)


def _read_bytes(d):
    return mesh_bytes(d) + os.path.getsize(d.our_file)


def _file_workloads(ext, vtk_writer, vtk_reader, meshio_writer):
    setup = lambda: Lazy(N_BIG, ext)  # noqa: E731
    return [
        Workload(f"write .{ext} 200^3 HEX8", setup,
                 {"zentra": _zentra_write, "meshio": meshio_writer, "vtk": vtk_writer, "copy of as many bytes": _copy},
                 repeat=3),
        Workload(f"read .{ext} 200^3 HEX8 (memory: x of mesh + file)", setup,
                 {"zentra": _zentra_read, "meshio": _meshio_read, "vtk": _vtk_read(vtk_reader)},
                 repeat=3, result_bytes=_read_bytes),
    ]


class JsonData(Lazy):
    @property
    def text(self):
        return self._get("text", self.mesh.to_json)

    @property
    def as_dict(self):
        return self._get("dict", lambda: json.loads(self.text))

    @property
    def our_file(self):
        def build():
            p = os.path.join(DIR, f"zentra_bench_src_{os.getpid()}.json")
            with open(p, "w") as f:
                f.write(self.text)
            return p

        return self._get("file", build)


def _json_size_mb():
    ax = np.linspace(0.0, 1.0, N_JSON + 1)
    return len(zentra.build_cmesh(ax, ax, ax).to_json()) / 1e6


def _orjson_dumps(d):
    import orjson

    return orjson.dumps(d.as_dict)


def _orjson_loads(d):
    import orjson

    return orjson.loads(d.text)


_MB = _json_size_mb()

WORKLOADS = (
    _file_workloads("vtu", _vtk_xml_writer, "vtkXMLUnstructuredGridReader", _meshio_vtu_write)
    + _file_workloads("vtk", _vtk_legacy_writer, "vtkUnstructuredGridReader", _meshio_vtk_write)
    + [
        Workload(f"to_json 101^3 nodes ({_MB:.0f} MB of text; MB/s = {_MB:.0f} / time)", lambda: JsonData(N_JSON),
                 {"zentra": lambda d: d.mesh.to_json(), "orjson.dumps(dict)": _orjson_dumps,
                  "json.dumps(dict)": lambda d: json.dumps(d.as_dict)}),
        Workload(f"read .json 101^3 nodes ({_MB:.0f} MB; memory: x of mesh + file)", lambda: JsonData(N_JSON),
                 {"zentra": _zentra_read, "orjson.loads(text)": _orjson_loads,
                  "json.loads(text)": lambda d: json.loads(d.text)}, result_bytes=_read_bytes),
    ]
)
