"""Reads a VTK file with the real VTK and prints its cells as JSON. Run as a script, in a child
process, so that a file VTK chokes on cannot take the test runner down:

    python vtk_peer.py xml|legacy PATH
"""

import json
import sys


def describe(grid):
    pts = grid.GetPoints()
    points = [list(pts.GetPoint(i)) for i in range(grid.GetNumberOfPoints())] if pts else []
    cells = []
    for j in range(grid.GetNumberOfCells()):
        c = grid.GetCell(j)
        t = grid.GetCellType(j)
        entry = {"type": t, "points": [c.GetPointId(k) for k in range(c.GetNumberOfPoints())]}
        if t == 42:
            entry["faces"] = [
                [c.GetFace(f).GetPointId(k) for k in range(c.GetFace(f).GetNumberOfPoints())]
                for f in range(c.GetNumberOfFaces())
            ]
        cells.append(entry)
    return {"points": points, "cells": cells}


def main(kind, path):
    import vtk

    reader = vtk.vtkXMLUnstructuredGridReader() if kind == "xml" else vtk.vtkUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    print(json.dumps(describe(reader.GetOutput())))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
