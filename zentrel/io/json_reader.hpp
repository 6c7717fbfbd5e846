#pragma once

#include <cstddef>
#include <string_view>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

// Parses a mesh document in JSON. Errors carry the line and column of the offending value.
// null in a floating-point place reads as NaN, which is how the writer stores non-finite values.
UMeshBase read_json(std::string_view text);

// The same on a buffer with at least kJsonPadding readable bytes after the text, which spares
// a copy of a file read for the purpose.
inline constexpr std::size_t kJsonPadding = 64;
UMeshBase read_json_padded(const char* data, std::size_t size, std::size_t capacity);

}  // namespace zentrel::io
