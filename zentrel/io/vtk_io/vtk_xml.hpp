#pragma once

#include <string_view>

#include "zentrel/io/output_buffer.hpp"
#include "zentrel/io/vtk_io/vtk_cells.hpp"

namespace zentrel::io {

// VTK XML unstructured grid (.vtu). Reads the first piece, with arrays inline or appended,
// ascii, base64 or raw, UInt32 or UInt64 headers, uncompressed or zlib / LZ4 / LZMA blocks.
// Writes one piece with appended raw little-endian data, UInt64 headers, uncompressed.
UMeshBase read_vtu(std::string_view text);
void write_vtu(OutputBuffer& out, const UMeshBase& mesh, const VtkCells& cells);

}  // namespace zentrel::io
