"""A tour of zentra on built-in data: a Cartesian grid built and inspected, then taken through
topology, geometry and files."""

import os
import tempfile

import numpy as np

import zentra


def main():
    # A 4 x 3 grid of quadrangles on uneven axes: nodes are numbered x fastest, then y.
    x = np.array([0.0, 0.5, 1.5, 3.0, 5.0])
    y = np.array([0.0, 1.0, 2.5, 4.5])
    grid = zentra.build_cmesh(x, y)
    coords = grid.coords()
    quads = grid.blocks()["QUAD4"]
    print(f"grid: {coords.shape[0]} nodes in {coords.shape[1]}D, blocks {grid.block_types()}")
    print(f"QUAD4 connectivity {quads.shape}, first cell {quads[0].tolist()}, last cell {quads[-1].tolist()}")

    # The same nodes with a second block: every quadrangle split into two triangles, with a field.
    mesh = zentra.UMesh(coords)
    mesh.add_regular_block("QUAD4", quads, {"rank": np.arange(len(quads), dtype=np.float64)})
    tris = np.concatenate([quads[:, [0, 1, 2]], quads[:, [0, 2, 3]]])
    mesh.add_regular_block("TRI3", tris, {"rank": np.arange(len(tris), dtype=np.float64)})
    print(f"mesh: blocks {mesh.block_types()}, dict order {list(mesh.blocks())}")

    # Geometry: cell measures, stored as the field "Measure".
    mesh.measure_update()
    for name, per_type in mesh.fields().items():
        for etype, values in per_type.items():
            print(f"field {name!r} on {etype}: {values.size} values, sum {values.sum():g}")

    # Topology of the grid: its edges, its boundary, and the pieces of a grid with a gap.
    edges = grid.descend()
    boundary = grid.boundaries()
    print(f"grid edges: {len(edges.blocks()['SEG2'])}, boundary edges: {len(boundary.blocks()['SEG2'])}")
    two = zentra.UMesh(coords)
    two.add_regular_block("QUAD4", quads[[0, 1, 10, 11]])
    print(f"cells 0, 1, 10, 11 form {len(two.connected_components())} connected components")

    # Extrusion into three layers of hexahedra.
    slab = grid.extrude([0.0, 0.5, 1.0, 2.0])
    print(f"extruded: {slab.block_types()} with {len(slab.blocks()['HEX8'])} cells, "
          f"{len(slab.boundaries().blocks()['QUAD4'])} boundary faces")

    # Files: a VTU file and a JSON document, read back.
    with tempfile.TemporaryDirectory() as tmp:
        for name in ("slab.vtu", "slab.json"):
            path = os.path.join(tmp, name)
            slab.write(path)
            back = zentra.UMesh.read(path)
            same = np.array_equal(back.blocks()["HEX8"], slab.blocks()["HEX8"])
            print(f"{name}: {os.path.getsize(path)} bytes, read back identical: {same}")
    print(f"JSON document of a one-segment mesh: {zentra.build_cmesh([0.0, 1.0]).to_json()}")

    # Failures of the core arrive as zentra.InternalError with the core's message.
    try:
        mesh.add_regular_block("PGON", tris)
    except zentra.InternalError as e:
        print(f"refused: {e}")

    print()
    print("structure of a one-cell grid:")
    print(zentra.build_cmesh([0.0, 1.0], [0.0, 1.0]))


if __name__ == "__main__":
    main()
