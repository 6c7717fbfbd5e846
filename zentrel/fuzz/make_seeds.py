"""Writes fuzzing seeds: files from our writers, VTK's and meshio's, plus the bad-input corpus.

    python make_seeds.py OUTDIR
"""

import os
import shutil
import sys

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from io_meshes import from_document, groups_doc, hex_grid, mixed3d, poly_doc, tri2d  # noqa: E402


def main(out):
    import pathlib
    import tempfile

    dirs = {k: os.path.join(out, k) for k in ["json", "yaml", "vtk_legacy", "vtu"]}
    for d in dirs.values():
        os.makedirs(d, exist_ok=True)
    tmp = pathlib.Path(tempfile.mkdtemp())
    meshes = {"tri2d": tri2d(), "hex": hex_grid(), "mixed": mixed3d(), "poly": from_document(poly_doc(), tmp),
              "groups": from_document(groups_doc(), tmp)}
    for name, m in meshes.items():
        m.write(os.path.join(dirs["json"], name + ".json"))
        m.write(os.path.join(dirs["yaml"], name + ".yaml"))
        with open(os.path.join(dirs["json"], name + "_compact.json"), "w") as f:
            f.write(m.to_json())
        if name != "tri2d":
            m.write(os.path.join(dirs["vtk_legacy"], name + ".vtk"))
            m.write(os.path.join(dirs["vtu"], name + ".vtu"))

    import vtk
    from test_io_peers import vtk_grid

    for name in ["mixed", "poly"]:
        g = vtk_grid(meshes[name])
        for comp in ["None", "ZLib", "LZ4", "LZMA"]:
            for mode in ["Ascii", "Binary", "Appended"]:
                for enc in [False, True]:
                    w = vtk.vtkXMLUnstructuredGridWriter()
                    w.SetInputData(g)
                    getattr(w, f"SetCompressorTypeTo{comp}")()
                    getattr(w, f"SetDataModeTo{mode}")()
                    w.SetEncodeAppendedData(enc)
                    w.SetBlockSize(256)
                    w.SetFileName(os.path.join(dirs["vtu"], f"vtk_{name}_{comp}_{mode}_{int(enc)}.vtu"))
                    w.Write()
        for binary in [False, True]:
            for version in [42, 51]:
                w = vtk.vtkUnstructuredGridWriter()
                w.SetInputData(g)
                (w.SetFileTypeToBinary if binary else w.SetFileTypeToASCII)()
                w.SetFileVersion(version)
                w.SetFileName(os.path.join(dirs["vtk_legacy"], f"vtk_{name}_{int(binary)}_{version}.vtk"))
                w.Write()

    import meshio

    m = meshes["mixed"]
    blocks = m.blocks()
    names = {"VERTEX": "vertex", "SEG2": "line", "TRI3": "triangle", "QUAD4": "quad", "TET4": "tetra",
             "HEX8": "hexahedron"}
    mm = meshio.Mesh(m.coords(), [(names[k], blocks[k].astype(np.int64)) for k in m.block_types()])
    for comp in [None, "zlib", "lzma"]:
        meshio.vtu.write(os.path.join(dirs["vtu"], f"meshio_{comp}.vtu"), mm, binary=True, compression=comp)
    meshio.vtu.write(os.path.join(dirs["vtu"], "meshio_ascii.vtu"), mm, binary=False)
    for b in [False, True]:
        for v in ["4.2", "5.1"]:
            meshio.vtk.write(os.path.join(dirs["vtk_legacy"], f"meshio_{int(b)}_{v}.vtk"), mm, binary=b, fmt_version=v)

    bad = os.path.join(ROOT, "tests", "data", "bad")
    target = {".json": "json", ".yaml": "yaml", ".vtk": "vtk_legacy", ".vtu": "vtu"}
    for f in os.listdir(bad):
        ext = os.path.splitext(f)[1]
        if ext in target:
            shutil.copy(os.path.join(bad, f), os.path.join(dirs[target[ext]], "bad_" + f))
    shutil.rmtree(tmp)


if __name__ == "__main__":
    main(sys.argv[1])
