#include "zentrel/io/vtk_io/byte_order.hpp"
#include "zentrel/io/vtk_io/cell_arrays.hpp"
#include "zentrel/io/vtk_io/vtk_legacy.hpp"

namespace zentrel::io {

void write_vtk_legacy(OutputBuffer& out, const UMeshBase& mesh, const VtkCells& cells) {
    constexpr bool be = true;  // legacy binary files are big-endian
    const std::size_t n = mesh.num_nodes();
    out.append("# vtk DataFile Version 5.1\nTest VTK File\nBINARY\nDATASET UNSTRUCTURED_GRID\n");
    out.append("POINTS " + std::to_string(n) + " double\n");
    append_as<double>(out, mesh.coords.values(), be);
    out.append("\nCELLS " + std::to_string(cells.num_cells + 1) + " " + std::to_string(cells.stream_size) +
               "\nOFFSETS vtktypeint64\n");
    // Offsets here start with 0 and count one more than the cells; polyhedra span their streams.
    append_one<std::int64_t>(out, 0, be);
    append_cell_end_offsets(out, mesh, cells.phed_faces_end, cells.phed_faces.size(), be);
    out.append("\nCONNECTIVITY vtktypeint64\n");
    append_cell_connectivity(out, mesh, cells.phed_faces, be);
    out.append("\nCELL_TYPES " + std::to_string(cells.num_cells) + "\n");
    for (const auto& [t, b] : mesh.element_blocks) {
        std::int32_t code = *vtk_cell_type(t);
        append_generated<std::int32_t>(out, b.len(), be, [&](std::size_t) { return code; });
    }
    out.put('\n');
}

}  // namespace zentrel::io
