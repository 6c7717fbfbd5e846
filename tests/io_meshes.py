"""Small meshes shared by the I/O tests, built through the public API only."""

import json

import numpy as np

import zentra

U64 = np.uint64
SEP = 2**64 - 1  # face separator inside a PHED node list


def array_value(a):
    a = np.asarray(a)
    return {"v": 1, "dim": list(a.shape), "data": a.ravel().tolist()}


def block(cell_type, conn, families=None, fields=None, groups=None, poly_offsets=None):
    if poly_offsets is None:
        c = {"Regular": array_value(np.asarray(conn, dtype=U64))}
        n = len(conn)
    else:
        c = {"Poly": {"data": array_value(np.asarray(conn, dtype=U64)),
                      "offsets": array_value(np.asarray(poly_offsets, dtype=U64))}}
        n = len(poly_offsets)
    return {
        "cell_type": cell_type,
        "connectivity": c,
        "fields": {k: array_value(v) for k, v in (fields or {}).items()},
        "families": array_value(np.asarray(families if families is not None else [0] * n, dtype=U64)),
        "groups": groups or {},
    }


def from_document(doc, tmp_path, name="src.json"):
    p = tmp_path / name
    p.write_text(json.dumps(doc))
    return zentra.UMesh.read(str(p))


def tri2d():
    m = zentra.UMesh(np.array([[0.0, 0.0], [1.0, 0.0], [1.0, 1.0], [0.0, 1.0]]))
    m.add_regular_block("TRI3", np.array([[0, 1, 2], [0, 2, 3]], dtype=U64),
                        {"rho": np.array([1.0, 2.5]), "grad": np.array([[1.0, -1e-7], [1e20, 0.1]])})
    return m


def hex_grid():
    return zentra.build_cmesh(np.array([0.0, 1.0, 2.5]), np.array([0.0, 1.0]), np.array([-1.0, 0.0, 2.0]))


def mixed3d():
    pts = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [0, 0, 1], [1, 0, 1], [1, 1, 1], [0, 1, 1]], float)
    m = zentra.UMesh(pts)
    m.add_regular_block("QUAD4", np.array([[0, 1, 2, 3], [4, 5, 6, 7]], dtype=U64), {"q": np.array([1.0, 2.0])})
    m.add_regular_block("TRI3", np.array([[0, 1, 2]], dtype=U64))
    m.add_regular_block("HEX8", np.array([[0, 1, 2, 3, 4, 5, 6, 7]], dtype=U64))
    m.add_regular_block("TET4", np.array([[0, 1, 3, 4], [1, 2, 3, 6]], dtype=U64))
    m.add_regular_block("SEG2", np.array([[0, 7]], dtype=U64))
    m.add_regular_block("VERTEX", np.array([[5], [6]], dtype=U64))
    return m


def poly_doc():
    pts = [[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]]
    tet_faces = [0, 2, 1, SEP, 0, 1, 3, SEP, 1, 2, 3, SEP, 0, 3, 2, SEP]
    pyr_faces = [1, 2, 4, SEP, 0, 1, 4, SEP, 0, 4, 2, SEP, 0, 2, 1, SEP]
    return {
        "coords": array_value(np.array(pts, float)),
        "element_blocks": {
            "PGON": block("PGON", [0, 1, 4, 2, 1, 3, 4], poly_offsets=[4, 7], families=[2, 3],
                          groups={"g": [2], "h": [2, 3]}),
            "PHED": block("PHED", tet_faces + pyr_faces, poly_offsets=[16, 32], families=[1, 0]),
        },
    }


def groups_doc():
    d = {
        "coords": array_value(np.array([[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [0.0, 1.0, 0.0]])),
        "element_blocks": {
            "TRI3": block("TRI3", [[0, 1, 2]], families=[4], groups={"left": [4], "odd name:\n\"x\"": [1, 4]},
                          fields={"t": np.array([[0.5, -1e300]])}),
        },
    }
    return d
