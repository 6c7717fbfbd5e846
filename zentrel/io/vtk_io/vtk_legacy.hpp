#pragma once

#include <string_view>

#include "zentrel/io/output_buffer.hpp"
#include "zentrel/io/vtk_io/vtk_cells.hpp"

namespace zentrel::io {

// Legacy VTK: reads ASCII and BINARY files of versions 2.0 to 5.1 (cell counts form or
// OFFSETS/CONNECTIVITY form); writes BINARY version 5.1, big-endian, 64-bit points and ids.
UMeshBase read_vtk_legacy(std::string_view text);
void write_vtk_legacy(OutputBuffer& out, const UMeshBase& mesh, const VtkCells& cells);

}  // namespace zentrel::io
