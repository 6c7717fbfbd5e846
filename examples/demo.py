"""A short tour of zentra on built-in data: a Cartesian grid built, inspected and printed."""

import numpy as np

import zentra


def main():
    # A 4 x 3 grid of quadrangles on uneven axes: nodes are numbered x fastest, then y.
    x = np.array([0.0, 0.5, 1.5, 3.0, 5.0])
    y = np.array([0.0, 1.0, 2.5, 4.5])
    grid = zentra.build_cmesh(x, y)
    print(f"grid: {grid.coords().shape[0]} nodes in {grid.coords().shape[1]}D, blocks {grid.block_types()}")
    quads = grid.blocks()["QUAD4"]
    print(f"QUAD4 connectivity {quads.shape}, first cell {quads[0].tolist()}, last cell {quads[-1].tolist()}")

    # The same nodes carrying a second block with a field: the cell areas of the grid, split into triangles.
    coords = grid.coords()
    mesh = zentra.UMesh(coords)
    mesh.add_regular_block("QUAD4", quads, {"area": cell_areas(coords, quads)})
    tris = np.concatenate([quads[:, [0, 1, 2]], quads[:, [0, 2, 3]]])
    mesh.add_regular_block("TRI3", tris, {"area": cell_areas(coords, tris)})
    print(f"mesh: blocks {mesh.block_types()}, dict order {list(mesh.blocks())}")
    for name, per_type in mesh.fields().items():
        for etype, values in per_type.items():
            print(f"field {name!r} on {etype}: {values.size} values, total {values.sum():g}")

    # A 3D grid: HEX8 cells, corner order of the lower face then the upper face.
    cube = zentra.build_cmesh([0.0, 1.0, 2.0], [0.0, 1.0], [0.0, 1.0])
    print(f"cube: {cube.blocks()['HEX8'].tolist()}")

    # Failures of the core arrive as zentra.InternalError with the core's message.
    try:
        mesh.add_regular_block("PGON", tris)
    except zentra.InternalError as e:
        print(f"refused: {e}")

    print()
    print("structure of a one-cell grid:")
    print(zentra.build_cmesh([0.0, 1.0], [0.0, 1.0]))


def cell_areas(coords, cells):
    # Shoelace formula on the polygon of each cell.
    p = coords[cells]
    x, y = p[..., 0], p[..., 1]
    return 0.5 * np.abs(np.sum(x * np.roll(y, -1, axis=1) - np.roll(x, -1, axis=1) * y, axis=1))


if __name__ == "__main__":
    main()
