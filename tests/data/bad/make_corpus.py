"""Regenerates the bad-input corpus beside this script: `python make_corpus.py`.

Each file is a small, deliberately broken mesh file; test_io_bad.py lists the message each must
produce. Files are built by hand (not by a peer) so that every byte is intended."""

import base64
import os
import struct
import zlib
import lzma

HERE = os.path.dirname(os.path.abspath(__file__))


def put(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


# --- JSON and YAML ----------------------------------------------------------------------------

TRI = ('{"coords":{"v":1,"dim":[3,3],"data":[0,0,0,1,0,0,0,1,0]},"element_blocks":{"TRI3":'
       '{"cell_type":"TRI3","connectivity":{"Regular":{"v":1,"dim":[1,3],"data":[0,1,2]}},'
       '"fields":{},"families":{"v":1,"dim":[1],"data":[0]},"groups":{}}}}')

put("truncated.json", TRI[:70])
put("version2.json", TRI.replace('{"v":1,"dim":[3,3]', '{"v":2,"dim":[3,3]'))
put("dim_mismatch.json", TRI.replace('"dim":[3,3]', '"dim":[4,3]'))
put("dim_overflow.json", TRI.replace('"dim":[3,3]', '"dim":[18446744073709551615,18446744073709551615]'))
put("negative.json", TRI.replace("[0,1,2]", "[0,-1,2]"))
put("duplicate.json", TRI.replace('"groups":{}', '"groups":{},"groups":{}'))
put("deep.json", TRI[:-1] + ',"x":' + "[" * 5000 + "]" * 5000 + "}")
put("trailing.json", TRI + " garbage")
put("bad_utf8.json", TRI.replace('"groups":{}', '"groups":{"\xff":[]}').encode("latin-1"))
put("unknown_type.json", TRI.replace('"cell_type":"TRI3"', '"cell_type":"PRISM6"'))

YAML = """coords:
  v: 1
  dim: [3, 3]
  data: [0, 0, 0, 1, 0, 0, 0, 1, 0]
element_blocks:
  TRI3:
    cell_type: TRI3
    connectivity: !Regular
      v: 1
      dim: [1, 3]
      data: [0, 1, 2]
    fields: {}
    families: {v: 1, dim: [1], data: [0]}
    groups: {}
"""
put("alias.yaml", YAML.replace("families: {v: 1, dim: [1], data: [0]}", "families: &f {v: 1, dim: [1], data: [0]}")
    + "extra: *f\n")
put("unknown_tag.yaml", YAML.replace("!Regular", "!Sparse"))
put("two_docs.yaml", YAML + "---\n" + YAML)
put("deep.yaml", YAML + "extra: " + "[" * 3000 + "]" * 3000 + "\n")
put("bad_utf8.yaml", YAML.replace("cell_type: TRI3", "cell_type: TRI\xfe").encode("latin-1"))
put("truncated.yaml", YAML[:150])

# --- legacy VTK -------------------------------------------------------------------------------

HEAD = "# vtk DataFile Version 5.1\nbad\nASCII\nDATASET UNSTRUCTURED_GRID\n"
PTS = "POINTS 4 double\n0 0 0 1 0 0 0 1 0 0 0 1\n"


def legacy(cells="CELLS 2 3\nOFFSETS vtktypeint64\n0 3\nCONNECTIVITY vtktypeint64\n0 1 2\n", types="CELL_TYPES 1\n5\n",
           head=HEAD, pts=PTS):
    return head + pts + cells + types


put("points_truncated.vtk", legacy(pts="POINTS 4 double\n0 0 0 1 0 0\n", cells="", types=""))
put("points_huge.vtk", legacy(pts="POINTS 1000000000000000 double\n0 0 0\n", cells="", types=""))
put("points_negative.vtk", legacy(pts="POINTS -4 double\n0 0 0\n", cells="", types=""))
put("points_fraction.vtk", legacy(pts="POINTS 2.5 double\n0 0 0\n", cells="", types=""))
put("points_int.vtk", legacy(pts="POINTS 1 int\n0 0 0\n", cells="", types=""))
put("offsets_decrease.vtk", legacy(cells="CELLS 4 3\nOFFSETS vtktypeint64\n0 3 2 3\nCONNECTIVITY vtktypeint64\n0 1 2\n",
                                   types="CELL_TYPES 3\n5 1 1\n"))
put("offsets_not_zero.vtk", legacy(cells="CELLS 2 3\nOFFSETS vtktypeint64\n1 3\nCONNECTIVITY vtktypeint64\n0 1 2\n"))
put("offsets_overrun.vtk", legacy(cells="CELLS 2 3\nOFFSETS vtktypeint64\n0 5\nCONNECTIVITY vtktypeint64\n0 1 2\n"))
put("node_out_of_range.vtk", legacy(cells="CELLS 2 3\nOFFSETS vtktypeint64\n0 3\nCONNECTIVITY vtktypeint64\n0 1 9\n"))
put("cell_type_256.vtk", legacy(types="CELL_TYPES 1\n261\n"))
put("wedge.vtk", legacy(cells="CELLS 2 6\nOFFSETS vtktypeint64\n0 6\nCONNECTIVITY vtktypeint64\n0 1 2 3 0 1\n",
                        types="CELL_TYPES 1\n13\n"))
put("polyhedron_overrun.vtk",
    legacy(cells="CELLS 2 6\nOFFSETS vtktypeint64\n0 6\nCONNECTIVITY vtktypeint64\n2 3 0 1 2 9\n", types="CELL_TYPES 1\n42\n"))
put("counts_overrun.vtk", legacy(head=HEAD.replace("5.1", "4.2"), cells="CELLS 1 4\n7 0 1 2\n"))
put("counts_overrun_later.vtk", legacy(head=HEAD.replace("5.1", "4.2"), cells="CELLS 2 4\n3 0 1 2\n",
                                      types="CELL_TYPES 2\n5 5\n"))
put("wrong_dataset.vtk", "# vtk DataFile Version 5.1\nbad\nASCII\nDATASET POLYDATA\n" + PTS)
put("bad_format.vtk", HEAD.replace("ASCII", "EBCDIC") + PTS)
put("not_vtk.vtk", "hello\n")
put("binary_truncated.vtk", (HEAD.replace("ASCII", "BINARY") + "POINTS 4 double\n").encode() + struct.pack(">5d", *range(5)))

# --- VTU --------------------------------------------------------------------------------------


def vtu(arrays, attrs='byte_order="LittleEndian" header_type="UInt32"', appended=None, npts=4, ncells=1, prolog=""):
    pts, cells = arrays
    s = (f'<?xml version="1.0"?>\n{prolog}<VTKFile type="UnstructuredGrid" version="1.0" {attrs}>\n'
         f'<UnstructuredGrid><Piece NumberOfPoints="{npts}" NumberOfCells="{ncells}">\n'
         f"<Points>{pts}</Points>\n<Cells>{cells}</Cells>\n</Piece></UnstructuredGrid>\n")
    s = s.encode()
    if appended is not None:
        s += b'<AppendedData encoding="raw">\n_' + appended + b"\n</AppendedData>\n"
    return s + b"</VTKFile>\n"


def ascii_array(name, typ, values, comps=1):
    return (f'<DataArray type="{typ}" Name="{name}" NumberOfComponents="{comps}" format="ascii">'
            f'{" ".join(map(str, values))}</DataArray>\n')


PTS_A = ascii_array("Points", "Float64", [0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1], 3)
CELLS_A = (ascii_array("connectivity", "Int64", [0, 1, 2]) + ascii_array("offsets", "Int64", [3])
           + ascii_array("types", "UInt8", [5]))

put("byte_order.vtu", vtu((PTS_A, CELLS_A), attrs='byte_order="MiddleEndian"'))
put("header_type.vtu", vtu((PTS_A, CELLS_A), attrs='byte_order="LittleEndian" header_type="UInt16"'))
put("compressor.vtu", vtu((PTS_A, CELLS_A), attrs='byte_order="LittleEndian" compressor="vtkBrotliDataCompressor"'))
put("negative_connectivity.vtu", vtu((PTS_A, ascii_array("connectivity", "Int64", [0, -1, 2])
                                      + ascii_array("offsets", "Int64", [3]) + ascii_array("types", "UInt8", [5]))))
put("types_above_255.vtu", vtu((PTS_A, ascii_array("connectivity", "Int64", [0, 1, 2])
                                + ascii_array("offsets", "Int64", [3]) + ascii_array("types", "Int32", [261]))))
put("polydata.vtu", b'<?xml version="1.0"?>\n<VTKFile type="PolyData" version="1.0"><PolyData/></VTKFile>\n')
put("doctype.vtu", vtu((PTS_A, CELLS_A), prolog='<!DOCTYPE VTKFile [<!ENTITY x "1">]>\n'))
put("deep.vtu", vtu((PTS_A + "<a>" * 2000 + "</a>" * 2000, CELLS_A)))
put("bad_utf8.vtu", vtu((PTS_A, CELLS_A)).replace(b"Piece", b"Pi\xffce", 1))
put("xml_malformed.vtu", vtu((PTS_A, CELLS_A))[:-30])

POINTS_BYTES = struct.pack("<12d", 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1)


def binary_array(name, typ, payload, comps=1):
    text = base64.b64encode(payload).decode()
    return f'<DataArray type="{typ}" Name="{name}" NumberOfComponents="{comps}" format="binary">{text}</DataArray>\n'


put("base64_invalid.vtu", vtu((binary_array("Points", "Float64", struct.pack("<I", 96) + POINTS_BYTES, 3)
                               .replace("AAAA", "AA*A", 1), CELLS_A)))
put("base64_short.vtu", vtu((binary_array("Points", "Float64", struct.pack("<I", 96) + POINTS_BYTES[:40], 3), CELLS_A)))


def appended_array(name, typ, offset, comps=1):
    return f'<DataArray type="{typ}" Name="{name}" NumberOfComponents="{comps}" format="appended" offset="{offset}"/>\n'


put("appended_offset.vtu", vtu((appended_array("Points", "Float64", 500, 3), CELLS_A),
                               appended=struct.pack("<I", 96) + POINTS_BYTES))
put("appended_truncated.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A),
                                  appended=struct.pack("<I", 96) + POINTS_BYTES[:50]))
put("appended_no_underscore.vtu",
    vtu((appended_array("Points", "Float64", 0, 3), CELLS_A), appended=b"").replace(b"\n_", b"\nX"))


def compressed(blocks, block_size, last, csizes, data):
    return struct.pack(f"<{3 + len(csizes)}I", blocks, block_size, last, *csizes) + data


Z = zlib.compress(POINTS_BYTES)
ZATTRS = 'byte_order="LittleEndian" header_type="UInt32" compressor="vtkZLibDataCompressor"'
put("compressed_block_count.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A), attrs=ZATTRS,
                                      appended=compressed(2**31, 96, 0, [len(Z)], Z)))
put("compressed_block_size.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A), attrs=ZATTRS,
                                     appended=compressed(1, 2**31, 0, [len(Z)], Z)))
BOMB = zlib.compress(b"\0" * 10000)
put("compressed_bomb.vtu", vtu((PTS_A, appended_array("connectivity", "Int64", 0) + ascii_array("offsets", "Int64", [3])
                                + ascii_array("types", "UInt8", [5])), attrs=ZATTRS,
                               appended=compressed(1, 2**30, 0, [len(BOMB)], BOMB)))
put("zlib_larger.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A), attrs=ZATTRS, npts=3,
                           appended=compressed(1, 72, 0, [len(Z)], Z)))
put("zlib_corrupt.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A), attrs=ZATTRS,
                            appended=compressed(1, 96, 0, [len(Z)], Z[:5] + b"\x13\x37" * 4 + Z[13:])))
X = lzma.compress(POINTS_BYTES)
put("lzma_corrupt.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A),
                            attrs=ZATTRS.replace("ZLib", "LZMA"),
                            appended=compressed(1, 96, 0, [len(X)], X[:20] + b"\xff" * 10 + X[30:])))
put("lz4_corrupt.vtu", vtu((appended_array("Points", "Float64", 0, 3), CELLS_A),
                           attrs=ZATTRS.replace("ZLib", "LZ4"), appended=compressed(1, 96, 0, [8], b"\xff" * 8)))
