"""Cross-checks of the VTK files with VTK and meshio: each reads what we write, and we read what
each writes, in every encoding and compressor it offers."""

import json
import os
import subprocess
import sys

import numpy as np
import pytest

import zentra
from io_meshes import SEP, U64, from_document, mixed3d, poly_doc
from zentra import UMesh

vtk = pytest.importorskip("vtk")
meshio = pytest.importorskip("meshio")

HERE = os.path.dirname(os.path.abspath(__file__))
VTK_CODE = {"VERTEX": 1, "SEG2": 3, "TRI3": 5, "PGON": 7, "QUAD4": 9, "TET4": 10, "HEX8": 12, "PHED": 42}
NAME_OF = {v: k for k, v in VTK_CODE.items()}


def vtk_read(path, kind):
    out = subprocess.run([sys.executable, os.path.join(HERE, "vtk_peer.py"), kind, str(path)],
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    return json.loads(out.stdout)


def faces_of(node_list):
    faces, cur = [], []
    for n in node_list:
        if n == SEP:
            faces.append(cur)
            cur = []
        else:
            cur.append(int(n))
    return faces


def cells_of(mesh):
    """(VTK type, point list or faces) of every element, in the order the writers emit them."""
    out = []
    blocks = mesh.blocks()
    for name in mesh.block_types():
        conn = blocks[name]
        if isinstance(conn, tuple):
            data, offsets = conn
            start = 0
            for end in offsets:
                nodes = [int(x) for x in data[start:end]]
                out.append((VTK_CODE[name], faces_of(nodes) if name == "PHED" else nodes))
                start = end
        else:
            out.extend((VTK_CODE[name], [int(x) for x in row]) for row in conn)
    return out


def peer_mesh(tmp_path):
    """Every VTK cell type we map, polygons and polyhedra included."""
    m = mixed3d()
    doc = json.loads(m.to_json())
    poly = poly_doc()
    n = len(doc["coords"]["data"]) // 3
    doc["coords"]["data"] += [float(v) + 5.0 for v in poly["coords"]["data"]]
    doc["coords"]["dim"][0] += 5
    for name in ("PGON", "PHED"):
        b = poly["element_blocks"][name]
        data = b["connectivity"]["Poly"]["data"]["data"]
        data[:] = [v if v == SEP else v + n for v in data]
        doc["element_blocks"][name] = b
    return from_document(doc, tmp_path)


# --- peers read our files ---------------------------------------------------------------------

@pytest.mark.parametrize("ext, kind", [("vtu", "xml"), ("vtk", "legacy")])
def test_vtk_reads_our_files(tmp_path, ext, kind):
    m = peer_mesh(tmp_path)
    p = tmp_path / f"m.{ext}"
    m.write(str(p))
    got = vtk_read(p, kind)
    np.testing.assert_array_equal(np.array(got["points"]), m.coords())
    expected = cells_of(m)
    assert [c["type"] for c in got["cells"]] == [t for t, _ in expected]
    for c, (t, nodes) in zip(got["cells"], expected):
        if t == 42:
            assert c["faces"] == nodes
            assert sorted(c["points"]) == sorted({p for f in nodes for p in f})
        else:
            assert c["points"] == nodes


def test_vtk_sees_triangle_first_then_quads(tmp_path):
    m = UMesh(np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [2, 0, 0], [2, 1, 0]], float))
    m.add_regular_block("QUAD4", np.array([[0, 1, 2, 3], [1, 4, 5, 2]], dtype=U64))
    m.add_regular_block("TRI3", np.array([[0, 1, 2]], dtype=U64))
    m.write(str(tmp_path / "m.vtu"))
    r = vtk.vtkXMLUnstructuredGridReader()
    r.SetFileName(str(tmp_path / "m.vtu"))
    r.Update()
    cells = r.GetOutput().GetCells()
    from vtk.util.numpy_support import vtk_to_numpy

    assert vtk_to_numpy(cells.GetOffsetsArray()).tolist() == [0, 3, 7, 11]
    assert vtk_to_numpy(r.GetOutput().GetCellTypes()).tolist() == [5, 9, 9]


@pytest.mark.parametrize("ext", ["vtu", "vtk"])
def test_meshio_reads_our_files(tmp_path, ext):
    m = mixed3d()
    p = tmp_path / f"m.{ext}"
    m.write(str(p))
    got = meshio.read(str(p))
    np.testing.assert_array_equal(got.points, m.coords())
    meshio_names = {"vertex": "VERTEX", "line": "SEG2", "triangle": "TRI3", "quad": "QUAD4",
                    "tetra": "TET4", "hexahedron": "HEX8"}
    blocks = m.blocks()
    assert sorted(meshio_names[c.type] for c in got.cells) == sorted(blocks)
    for c in got.cells:
        np.testing.assert_array_equal(c.data, blocks[meshio_names[c.type]])


# --- we read the peers' files -----------------------------------------------------------------

def vtk_grid(mesh, float32=False):
    from vtk.util.numpy_support import numpy_to_vtk

    g = vtk.vtkUnstructuredGrid()
    pts = vtk.vtkPoints()
    coords = mesh.coords().astype(np.float32 if float32 else np.float64)
    pts.SetData(numpy_to_vtk(coords, deep=True))
    g.SetPoints(pts)
    for t, nodes in cells_of(mesh):
        if t == 42:
            ids = vtk.vtkIdList()
            ids.InsertNextId(len(nodes))
            for f in nodes:
                ids.InsertNextId(len(f))
                for p in f:
                    ids.InsertNextId(p)
            g.InsertNextCell(42, ids)
        else:
            g.InsertNextCell(t, len(nodes), nodes)
    return g


def assert_same_cells(ours, reference, coords_as=np.float64):
    np.testing.assert_array_equal(ours.coords(), reference.coords().astype(coords_as).astype(np.float64))
    assert ours.block_types() == reference.block_types()
    assert cells_of(ours) == cells_of(reference)


XML_OPTIONS = [("ascii", None, None, 32, "little")] + [
    (mode, encode, comp, header, order)
    for mode, encode in [("binary", None), ("appended", False), ("appended", True)]
    for comp in [None, "zlib", "lz4", "lzma"]
    for header in [32, 64]
    for order in ["little", "big"]
]


@pytest.mark.parametrize("mode, encode, comp, header, order", XML_OPTIONS)
def test_we_read_vtk_xml(tmp_path, mode, encode, comp, header, order):
    ref = peer_mesh(tmp_path)
    w = vtk.vtkXMLUnstructuredGridWriter()
    w.SetInputData(vtk_grid(ref))
    w.SetFileName(str(tmp_path / "peer.vtu"))
    {"ascii": w.SetDataModeToAscii, "binary": w.SetDataModeToBinary, "appended": w.SetDataModeToAppended}[mode]()
    if encode is not None:
        w.SetEncodeAppendedData(encode)
    {None: w.SetCompressorTypeToNone, "zlib": w.SetCompressorTypeToZLib, "lz4": w.SetCompressorTypeToLZ4,
     "lzma": w.SetCompressorTypeToLZMA}[comp]()
    w.SetBlockSize(240)  # several compressed blocks per array
    (w.SetHeaderTypeToUInt32 if header == 32 else w.SetHeaderTypeToUInt64)()
    (w.SetByteOrderToLittleEndian if order == "little" else w.SetByteOrderToBigEndian)()
    assert w.Write() == 1
    assert_same_cells(UMesh.read(str(tmp_path / "peer.vtu")), ref)


def test_we_read_vtk_float32_points(tmp_path):
    ref = peer_mesh(tmp_path)
    for ext, writer in [("vtu", vtk.vtkXMLUnstructuredGridWriter), ("vtk", vtk.vtkUnstructuredGridWriter)]:
        w = writer()
        w.SetInputData(vtk_grid(ref, float32=True))
        w.SetFileName(str(tmp_path / f"peer.{ext}"))
        assert w.Write() == 1
        assert_same_cells(UMesh.read(str(tmp_path / f"peer.{ext}")), ref, coords_as=np.float32)


@pytest.mark.parametrize("binary", [False, True])
@pytest.mark.parametrize("version", [42, 51])
def test_we_read_vtk_legacy(tmp_path, binary, version):
    ref = peer_mesh(tmp_path)
    w = vtk.vtkUnstructuredGridWriter()
    w.SetInputData(vtk_grid(ref))
    w.SetFileName(str(tmp_path / "peer.vtk"))
    (w.SetFileTypeToBinary if binary else w.SetFileTypeToASCII)()
    w.SetFileVersion(version)
    assert w.Write() == 1
    assert_same_cells(UMesh.read(str(tmp_path / "peer.vtk")), ref)


def test_we_read_vtk_files_with_attributes(tmp_path):
    ref = mixed3d()
    g = vtk_grid(ref)
    from vtk.util.numpy_support import numpy_to_vtk

    for data, n in [(g.GetPointData(), g.GetNumberOfPoints()), (g.GetCellData(), g.GetNumberOfCells())]:
        a = numpy_to_vtk(np.arange(n, dtype=np.float64), deep=True)
        a.SetName("values")
        data.AddArray(a)
    fd = numpy_to_vtk(np.array([1.0, 2.0]), deep=True)
    fd.SetName("meta")
    g.GetFieldData().AddArray(fd)
    for ext, writer in [("vtu", vtk.vtkXMLUnstructuredGridWriter), ("vtk", vtk.vtkUnstructuredGridWriter)]:
        for ascii_mode in [False, True]:
            w = writer()
            w.SetInputData(g)
            w.SetFileName(str(tmp_path / f"peer.{ext}"))
            if ascii_mode:
                (w.SetDataModeToAscii if ext == "vtu" else w.SetFileTypeToASCII)()
            elif ext == "vtk":
                w.SetFileTypeToBinary()
            assert w.Write() == 1
            assert_same_cells(UMesh.read(str(tmp_path / f"peer.{ext}")), ref)


MESHIO_CASES = [("vtu", {"binary": False})] + [
    ("vtu", {"binary": True, "compression": c}) for c in [None, "zlib", "lzma"]
] + [("vtk", {"binary": b, "fmt_version": v}) for b in [False, True] for v in ["4.2", "5.1"]]


@pytest.mark.parametrize("ext, options", MESHIO_CASES)
def test_we_read_meshio(tmp_path, ext, options):
    ref = mixed3d()
    blocks = ref.blocks()
    names = {"VERTEX": "vertex", "SEG2": "line", "TRI3": "triangle", "QUAD4": "quad", "TET4": "tetra",
             "HEX8": "hexahedron"}
    cells = [(names[k], blocks[k].astype(np.int64)) for k in ref.block_types()]
    p = tmp_path / f"peer.{ext}"
    mesh = meshio.Mesh(ref.coords(), cells)
    if ext == "vtu":
        meshio.vtu.write(str(p), mesh, **options)
    else:
        meshio.vtk.write(str(p), mesh, **options)
    assert_same_cells(UMesh.read(str(p)), ref)


def test_unsupported_vtk_cells_and_datasets(tmp_path):
    g = vtk.vtkUnstructuredGrid()
    pts = vtk.vtkPoints()
    pts.SetDataTypeToDouble()
    for p in [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (0, 1, 1)]:
        pts.InsertNextPoint(p)
    g.SetPoints(pts)
    g.InsertNextCell(vtk.VTK_WEDGE, 6, list(range(6)))
    for ext, writer in [("vtu", vtk.vtkXMLUnstructuredGridWriter), ("vtk", vtk.vtkUnstructuredGridWriter)]:
        w = writer()
        w.SetInputData(g)
        w.SetFileName(str(tmp_path / f"wedge.{ext}"))
        w.Write()
        with pytest.raises(zentra.InternalError, match="^Unsupported cell type for VTK: Wedge$"):
            UMesh.read(str(tmp_path / f"wedge.{ext}"))

    sp = vtk.vtkImageData()
    sp.SetDimensions(2, 2, 2)
    w = vtk.vtkStructuredPointsWriter()
    w.SetInputData(sp)
    w.SetFileName(str(tmp_path / "sp.vtk"))
    w.Write()
    pd = vtk.vtkPolyData()
    pd.SetPoints(pts)
    w2 = vtk.vtkXMLPolyDataWriter()
    w2.SetInputData(pd)
    w2.SetFileName(str(tmp_path / "pd.vtu"))
    w2.Write()
    w3 = vtk.vtkPolyDataWriter()
    w3.SetInputData(pd)
    w3.SetFileName(str(tmp_path / "pd.vtk"))
    w3.Write()
    for name in ["sp.vtk", "pd.vtu", "pd.vtk"]:
        with pytest.raises(zentra.InternalError, match="^Wrong vtk data type$"):
            UMesh.read(str(tmp_path / name))


def test_polyhedra_with_meshio(tmp_path):
    """meshio reads our polyhedra as faces, and we read the polyhedra it writes (its legacy
    reader has no polyhedra, so only .vtu)."""
    doc = poly_doc()
    del doc["element_blocks"]["PGON"]
    m = from_document(doc, tmp_path)
    m.write(str(tmp_path / "p.vtu"))
    got = meshio.read(str(tmp_path / "p.vtu"))
    expected = [nodes for _, nodes in cells_of(m)]
    assert [c.type for c in got.cells] == ["polyhedron4"]
    assert [[f.tolist() for f in cell] for cell in got.cells[0].data] == expected

    faces = [[np.array(f) for f in cell] for cell in expected]
    meshio.vtu.write(str(tmp_path / "peer.vtu"), meshio.Mesh(m.coords(), [("polyhedron4", faces)]))
    assert cells_of(UMesh.read(str(tmp_path / "peer.vtu"))) == cells_of(m)
