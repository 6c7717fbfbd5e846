"""Mesh documents and files: to_json, to_json_pretty, read, write."""

import inspect
import json
import os
import stat

import numpy as np
import pytest

import zentra
from io_meshes import U64, from_document, groups_doc, hex_grid, mixed3d, poly_doc, tri2d
from zentra import InternalError, UMesh

SIGNATURES = [
    ("to_json", "to_json($self)\n--\n\n", "(self, /)"),
    ("to_json_pretty", "to_json_pretty($self)\n--\n\n", "(self, /)"),
    ("read", "read(path)\n--\n\n", "(path)"),
    ("write", "write($self, path)\n--\n\n", "(self, /, path)"),
]


@pytest.mark.parametrize("name, doc, signature", SIGNATURES)
def test_docstrings(name, doc, signature):
    method = getattr(UMesh, name)
    assert method.__text_signature__ == doc.partition("\n--\n\n")[0][len(name):]
    assert method.__doc__ is None
    assert str(inspect.signature(method)) == signature


def test_to_json_example():
    m = UMesh(np.array([[0.0, 0.0], [1.0, 0.0], [0.0, 1.0]]))
    m.add_regular_block("TRI3", np.array([[0, 1, 2]], dtype=U64))
    assert m.to_json() == (
        '{"coords":{"v":1,"dim":[3,2],"data":[0.0,0.0,1.0,0.0,0.0,1.0]},"element_blocks":{"TRI3":'
        '{"cell_type":"TRI3","connectivity":{"Regular":{"v":1,"dim":[1,3],"data":[0,1,2]}},'
        '"fields":{},"families":{"v":1,"dim":[1],"data":[0]},"groups":{}}}}'
    )
    pretty = m.to_json_pretty()
    assert json.loads(pretty) == json.loads(m.to_json())
    assert pretty.startswith('{\n  "coords": {\n    "v": 1,\n    "dim": [\n      3,\n      2\n    ],')
    assert not pretty.endswith("\n")


def test_argument_errors():
    m = hex_grid()
    with pytest.raises(TypeError, match="^argument 'path': "):
        m.write(3)
    with pytest.raises(TypeError, match="^argument 'path': "):
        UMesh.read(b"x.json")
    with pytest.raises(TypeError):
        m.to_json(1)


# --- round trips -------------------------------------------------------------------------------

DOC_FORMATS = ["json", "JSON", "yaml", "Yml"]
VTK_FORMATS = ["vtk", "vtu"]


def check_round_trip(mesh, path, full):
    """Writes mesh to path, reads it back; mesh must be unchanged and the result equal."""
    before = mesh.to_json()
    mesh.write(str(path))
    assert mesh.to_json() == before
    back = UMesh.read(str(path))
    np.testing.assert_array_equal(back.coords(), mesh.coords())
    assert back.block_types() == mesh.block_types()
    for (k1, a), (k2, b) in zip(mesh.blocks().items(), back.blocks().items()):
        assert k1 == k2
        if isinstance(a, tuple):
            np.testing.assert_array_equal(a[0], b[0])
            np.testing.assert_array_equal(a[1], b[1])
        else:
            np.testing.assert_array_equal(a, b)
    if full:
        assert back.to_json() == before  # fields, families and groups too
    else:
        assert back.fields() == {}
    return back


MESHES = {
    "tri2d": (lambda tmp: tri2d(), False),
    "hex": (lambda tmp: hex_grid(), True),
    "mixed3d": (lambda tmp: mixed3d(), True),
    "poly": (lambda tmp: from_document(poly_doc(), tmp), True),
    "empty3d": (lambda tmp: UMesh(np.zeros((0, 3))), True),
    "groups": (lambda tmp: from_document(groups_doc(), tmp), True),
}


@pytest.mark.parametrize("name, fmt", [(name, fmt) for name, (_, vtk_ok) in MESHES.items()
                                       for fmt in DOC_FORMATS + (VTK_FORMATS if vtk_ok else [])])
def test_round_trip(tmp_path, name, fmt):
    mesh = MESHES[name][0](tmp_path)
    check_round_trip(mesh, tmp_path / f"mesh.{fmt}", full=fmt not in VTK_FORMATS)


def test_json_file_is_pretty_document(tmp_path):
    m = from_document(groups_doc(), tmp_path)
    m.write(str(tmp_path / "out.json"))
    text = (tmp_path / "out.json").read_text()
    assert text == m.to_json_pretty()
    assert '"odd name:\\n\\"x\\""' in text


def test_yaml_file_reads_back_non_finite(tmp_path):
    m = UMesh(np.array([[np.nan, np.inf, -np.inf, 1e20]]))
    m.write(str(tmp_path / "m.yaml"))
    text = (tmp_path / "m.yaml").read_text()
    assert ".nan" in text and "-.inf" in text and "1e20" in text
    back = UMesh.read(str(tmp_path / "m.yaml")).coords()
    assert np.isnan(back[0, 0]) and back[0, 1] == np.inf and back[0, 2] == -np.inf


def test_json_null_reads_as_nan(tmp_path):
    m = UMesh(np.array([[np.nan, 2.0]]))
    p = tmp_path / "m.json"
    m.write(str(p))
    assert "null" in p.read_text()
    assert np.isnan(UMesh.read(str(p)).coords()[0, 0])


# --- dispatch and file handling ----------------------------------------------------------------

@pytest.mark.parametrize("name", ["mesh.json.bak", "mesh", ".json", "mesh.txt", "dir.json/mesh", "mesh."])
def test_unsupported_extension(tmp_path, name):
    path = str(tmp_path / name)
    quoted = json.dumps(path)
    with pytest.raises(InternalError, match="Unsupported file extension: " + re_escape(quoted)):
        UMesh.read(path)
    with pytest.raises(InternalError, match="Unsupported file extension: " + re_escape(quoted)):
        hex_grid().write(path)
    assert os.listdir(tmp_path) == []


def re_escape(s):
    import re

    return re.escape(s)


def test_unsupported_extension_escapes_path():
    with pytest.raises(InternalError) as e:
        UMesh.read('a"b\\c\n.txt')
    assert str(e.value).endswith('Unsupported file extension: "a\\"b\\\\c\\n.txt"')


def test_path_with_nul_refused(tmp_path):
    with pytest.raises(InternalError, match="NUL"):
        hex_grid().write(str(tmp_path / "a\0b.json"))
    with pytest.raises(InternalError, match="NUL"):
        UMesh.read(str(tmp_path / "a\0b.json"))
    assert os.listdir(tmp_path) == []


def test_read_device_refused(tmp_path):
    os.symlink("/dev/zero", tmp_path / "zero.json")
    with pytest.raises(InternalError, match="not a regular file"):
        UMesh.read(str(tmp_path / "zero.json"))


def test_read_missing_file(tmp_path):
    with pytest.raises(InternalError, match="No such file or directory"):
        UMesh.read(str(tmp_path / "nothere.json"))


def test_write_io_error_is_raised(tmp_path):
    with pytest.raises(InternalError, match="No such file or directory"):
        hex_grid().write(str(tmp_path / "missing" / "m.json"))


def test_write_is_atomic(tmp_path):
    p = tmp_path / "m.vtk"
    hex_grid().write(str(p))
    good = p.read_bytes()
    with pytest.raises(InternalError, match="Only 3D meshes are supported for VTK export"):
        tri2d().write(str(p))
    assert p.read_bytes() == good
    assert sorted(os.listdir(tmp_path)) == ["m.vtk"]


def test_write_replaces_and_keeps_mode(tmp_path):
    p = tmp_path / "m.json"
    p.write_text("old")
    os.chmod(p, 0o640)
    hex_grid().write(str(p))
    assert stat.S_IMODE(os.stat(p).st_mode) == 0o640
    assert UMesh.read(str(p)).block_types() == ["HEX8"]


def test_new_file_mode_follows_umask(tmp_path):
    old = os.umask(0o027)
    try:
        hex_grid().write(str(tmp_path / "m.yaml"))
    finally:
        os.umask(old)
    assert stat.S_IMODE(os.stat(tmp_path / "m.yaml").st_mode) == 0o640


# --- VTK restrictions --------------------------------------------------------------------------

def test_vtk_needs_3d(tmp_path):
    for ext in VTK_FORMATS:
        with pytest.raises(InternalError, match="^Only 3D meshes are supported for VTK export$"):
            tri2d().write(str(tmp_path / f"m.{ext}"))
    assert os.listdir(tmp_path) == []


def test_vtk_unsupported_element_type(tmp_path):
    m = UMesh(np.zeros((6, 3)))
    m.add_regular_block("TRI6", np.arange(6, dtype=U64).reshape(1, 6))
    for ext in VTK_FORMATS:
        with pytest.raises(InternalError, match="^Unsupported element type for VTK: TRI6$"):
            m.write(str(tmp_path / f"m.{ext}"))
    assert os.listdir(tmp_path) == []


def test_vtk_node_out_of_range_refused(tmp_path):
    m = UMesh(np.zeros((3, 3)))
    m.add_regular_block("TRI3", np.array([[0, 1, 3]], dtype=U64))
    with pytest.raises(InternalError, match="refers to node 3"):
        m.write(str(tmp_path / "m.vtu"))


def test_vtk_drops_fields_and_groups(tmp_path):
    m = from_document(groups_doc(), tmp_path)
    back = UMesh.read(str(_write(m, tmp_path / "m.vtu")))
    assert back.fields() == {}
    assert json.loads(back.to_json())["element_blocks"]["TRI3"]["groups"] == {}


def _write(m, p):
    m.write(str(p))
    return p
