#include "zentrel/io/vtk_io/vtk_legacy.hpp"
#include "zentrel/io/vtk_io/vtk_xml.hpp"
namespace zentrel::io {
std::optional<std::uint8_t> vtk_cell_type(ElementType) { return std::nullopt; }
VtkCells vtk_cells_of(const UMeshBase&) { throw Error("not yet implemented"); }
UMeshBase read_vtk_legacy(std::string_view) { throw Error("not yet implemented"); }
void write_vtk_legacy(OutputBuffer&, const UMeshBase&, const VtkCells&) {}
UMeshBase read_vtu(std::string_view) { throw Error("not yet implemented"); }
void write_vtu(OutputBuffer&, const UMeshBase&, const VtkCells&) {}
}
