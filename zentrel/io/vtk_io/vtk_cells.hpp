#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

// VTK cell type code of an element type, if it has one.
std::optional<std::uint8_t> vtk_cell_type(ElementType t);
// The VTK name of a cell type code ("Wedge", "QuadraticTetra"); the number for unnamed codes.
std::string vtk_cell_name(std::uint64_t code);

// What writing a mesh as a VTK grid needs beyond its blocks. Building it checks the mesh
// first, so that nothing is created for a mesh VTK cannot hold: three coordinates per node,
// element types that have a VTK cell type, node numbers below the number of nodes, and
// polyhedra made of whole faces. A polyhedron is written as the points it touches (in order of
// first use) plus its face stream: the face count, then each face's point count and points.
struct VtkCells {
    std::size_t num_cells = 0;
    std::size_t conn_size = 0;    // point lists of all cells
    std::size_t stream_size = 0;  // the same with polyhedra given by their face streams
    std::vector<std::int64_t> phed_points, phed_faces;
    std::vector<std::size_t> phed_points_end, phed_faces_end;  // per polyhedron
};
VtkCells vtk_cells_of(const UMeshBase& mesh);

// Cells as a reader found them, in file order.
struct VtkGrid {
    ArrayF64 points;                    // (n, 3)
    ArrayU64 connectivity;              // 1-D
    ArrayU64 offsets;  // 1-D: end offset of each cell in connectivity
    ArrayU64 types;    // 1-D
    // Polyhedra: either their connectivity slice is their face stream (legacy files), or their
    // streams are kept apart in `faces`, cell j's ending at face_ends[j].
    bool streams_in_connectivity = false;
    std::vector<std::uint64_t> faces;
    std::vector<std::uint64_t> face_ends;
};
// Checks offsets, types and node numbers and groups the cells into blocks, keeping the file
// order within each type.
UMeshBase mesh_from_vtk(VtkGrid grid);

}  // namespace zentrel::io
