#include "zentrel/io/vtk_io/cell_arrays.hpp"

#include "zentrel/io/vtk_io/byte_order.hpp"

namespace zentrel::io {

void append_cell_connectivity(OutputBuffer& out, const UMeshBase& mesh, std::span<const std::int64_t> phed_stream,
                              bool big_endian) {
    for (const auto& [t, b] : mesh.element_blocks) {
        if (t == ElementType::PHED)
            append_as<std::int64_t>(out, phed_stream, big_endian);
        else
            append_as<std::int64_t>(out, (b.connectivity.is_regular() ? b.connectivity.regular_array()
                                                                      : b.connectivity.indirect().data)
                                             .values(),
                                    big_endian);
    }
}

void append_cell_end_offsets(OutputBuffer& out, const UMeshBase& mesh, std::span<const std::size_t> phed_ends,
                             std::size_t phed_stream_size, bool big_endian) {
    std::int64_t end = 0;
    for (const auto& [t, b] : mesh.element_blocks) {
        if (t == ElementType::PHED) {
            for (std::size_t e : phed_ends) append_one<std::int64_t>(out, end + static_cast<std::int64_t>(e), big_endian);
            end += static_cast<std::int64_t>(phed_stream_size);
        } else if (b.connectivity.is_regular()) {
            std::int64_t w = static_cast<std::int64_t>(b.connectivity.regular_array().row_size());
            append_generated<std::int64_t>(out, b.len(), big_endian,
                                           [&](std::size_t e) { return end + w * static_cast<std::int64_t>(e + 1); });
            end += w * static_cast<std::int64_t>(b.len());
        } else {
            std::int64_t base = end;
            for (std::uint64_t o : b.connectivity.indirect().offsets.values())
                append_one<std::int64_t>(out, end = base + static_cast<std::int64_t>(o), big_endian);
        }
    }
}

}  // namespace zentrel::io
