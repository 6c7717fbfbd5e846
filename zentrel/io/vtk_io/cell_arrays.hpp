#pragma once

#include <cstdint>
#include <span>

#include "zentrel/io/output_buffer.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

// The Int64 point lists of all cells in block order, polyhedra written as `phed_stream` (their
// points or their face streams, as the format wants).
void append_cell_connectivity(OutputBuffer& out, const UMeshBase& mesh, std::span<const std::int64_t> phed_stream,
                              bool big_endian);

// The Int64 end offset of every cell into that connectivity; polyhedron j ends at phed_ends[j]
// within `phed_stream_size` values.
void append_cell_end_offsets(OutputBuffer& out, const UMeshBase& mesh, std::span<const std::size_t> phed_ends,
                             std::size_t phed_stream_size, bool big_endian);

}  // namespace zentrel::io
