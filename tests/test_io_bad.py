"""Malformed files: each must fail with InternalError naming what is wrong, never crash or
allocate what the file merely claims. The corpus is tests/data/bad (make_corpus.py rebuilds it)."""

import os

import pytest

from zentra import InternalError, UMesh

BAD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "bad")

EXPECTED = {
    "truncated.json": "unterminated string at line 1 column 71",
    "version2.json": "unknown array version: 2",
    "dim_mismatch.json": "data and dimension must match in size",
    "dim_overflow.json": "data and dimension must match in size",
    "negative.json": "expected an unsigned integer at line 1",
    "duplicate.json": 'duplicate member "groups"',
    "deep.json": "nesting deeper than 1024 levels",
    "trailing.json": "trailing characters",
    "bad_utf8.json": "invalid UTF-8 at line 1",
    "unknown_type.json": 'unknown element type "PRISM6", expected one of VERTEX, SEG2',
    "alias.yaml": "anchors are not supported",
    "unknown_tag.yaml": 'unknown tag "!Sparse"',
    "two_docs.yaml": "several YAML documents",
    "deep.yaml": "nesting deeper than 1024 levels",
    "bad_utf8.yaml": "invalid YAML: invalid leading UTF-8 octet",
    "truncated.yaml": 'missing member "dim"',
    "points_truncated.vtk": "truncated points data",
    "points_huge.vtk": "truncated points data",
    "points_negative.vtk": 'expected a non-negative integer for the number of points, got "-4"',
    "points_fraction.vtk": 'expected a non-negative integer for the number of points, got "2.5"',
    "points_int.vtk": "expected Float32 or Float64",
    "offsets_decrease.vtk": "the offset of cell 1 decreases",
    "offsets_not_zero.vtk": "the cell offsets do not start at 0",
    "offsets_overrun.vtk": "the last cell offset does not match the connectivity size",
    "node_out_of_range.vtk": "refers to point 9 but there are only 4 points",
    "cell_type_256.vtk": "cell type 261 of cell 0 is above 255",
    "wedge.vtk": "Unsupported cell type for VTK: Wedge",
    "polyhedron_overrun.vtk": "face stream of polyhedron cell 0 overruns",
    "counts_overrun.vtk": "cell 0 overruns the cell list",
    "counts_overrun_later.vtk": "cell 0 overruns the cell list",
    "wrong_dataset.vtk": "Wrong vtk data type",
    "bad_format.vtk": 'unknown legacy VTK file format "EBCDIC"',
    "not_vtk.vtk": "not a legacy VTK file",
    "binary_truncated.vtk": "truncated points data",
    "byte_order.vtu": 'unknown byte_order "MiddleEndian"',
    "header_type.vtu": 'unknown header_type "UInt16"',
    "compressor.vtu": 'unknown compressor "vtkBrotliDataCompressor"',
    "negative_connectivity.vtu": "negative",
    "types_above_255.vtu": "cell type 261 of cell 0 is above 255",
    "polydata.vtu": "Wrong vtk data type",
    "doctype.vtu": "document type declarations are not supported",
    "deep.vtu": "XML nesting deeper than 1024 levels",
    "bad_utf8.vtu": "invalid UTF-8 in the XML markup",
    "xml_malformed.vtu": "invalid XML",
    "base64_invalid.vtu": "invalid base64 data",
    "base64_short.vtu": "declares more bytes than the file holds",
    "appended_offset.vtu": "appended offset of the points array is past the end",
    "appended_truncated.vtu": "declares more bytes than the file holds",
    "appended_no_underscore.vtu": 'does not start with "_"',
    "compressed_block_count.vtu": "more compressed blocks than the file holds",
    "compressed_block_size.vtu": "declares 2147483648 bytes, expected 96",
    "compressed_bomb.vtu": "more data than its compressed blocks can hold",
    "zlib_larger.vtu": "zlib block larger than declared",
    "zlib_corrupt.vtu": "corrupt zlib block",
    "lzma_corrupt.vtu": "corrupt LZMA block",
    "lz4_corrupt.vtu": "corrupt LZ4 block",
}


def test_corpus_and_table_agree():
    files = {f for f in os.listdir(BAD) if not f.endswith(".py")}
    assert files == set(EXPECTED)


@pytest.mark.parametrize("name", sorted(EXPECTED))
def test_bad_file(name):
    with pytest.raises(InternalError) as e:
        UMesh.read(os.path.join(BAD, name))
    assert EXPECTED[name] in str(e.value)


def _samples(tmp_path):
    """Valid files of every flavour we read, written by us and by VTK."""
    import numpy as np

    from io_meshes import from_document, mixed3d, poly_doc

    out = []
    m = mixed3d()
    for ext in ["json", "yaml", "vtk", "vtu"]:
        p = tmp_path / f"ours.{ext}"
        m.write(str(p))
        out.append(p)
    p = tmp_path / "poly.vtk"
    from_document(poly_doc(), tmp_path).write(str(p))
    out.append(p)
    vtk = pytest.importorskip("vtk")
    from test_io_peers import vtk_grid

    g = vtk_grid(m)
    for comp in ["ZLib", "LZ4", "LZMA"]:
        for mode in ["Binary", "Appended"]:
            w = vtk.vtkXMLUnstructuredGridWriter()
            w.SetInputData(g)
            getattr(w, f"SetCompressorTypeTo{comp}")()
            getattr(w, f"SetDataModeTo{mode}")()
            w.SetEncodeAppendedData(True)
            p = tmp_path / f"vtk_{comp}_{mode}.vtu"
            w.SetFileName(str(p))
            w.Write()
            out.append(p)
    w = vtk.vtkUnstructuredGridWriter()
    w.SetInputData(g)
    w.SetFileTypeToBinary()
    w.SetFileVersion(42)
    p = tmp_path / "vtk42.vtk"
    w.SetFileName(str(p))
    w.Write()
    out.append(p)
    del np
    return out


def test_truncation_anywhere(tmp_path):
    """Cutting a valid file short gives an error (or, when only closing markup is lost, the same
    mesh), never a crash or a different mesh. Block YAML and legacy VTK have no closing
    delimiters, so a file cut at a line or section end can be a valid smaller one: for those only
    the absence of a crash counts."""
    for src in _samples(tmp_path):
        data = src.read_bytes()
        whole = UMesh.read(str(src)).to_json()
        cut = tmp_path / ("cut" + src.suffix)
        step = max(1, len(data) // 150)
        for n in list(range(0, len(data), step)) + [len(data) - 1]:
            cut.write_bytes(data[:n])
            try:
                got = UMesh.read(str(cut)).to_json()
            except InternalError:
                continue
            if src.suffix not in (".yaml", ".vtk"):
                assert got == whole, f"{src.name} cut at {n} of {len(data)} read as another mesh"
