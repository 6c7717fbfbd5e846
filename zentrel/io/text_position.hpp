#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentrel::io {

// " at line L column C" (both from 1, columns in bytes) for an offset into text.
std::string text_position(std::string_view text, std::size_t offset);

// Offset of the first byte that breaks UTF-8 well-formedness, or text.size() if none.
std::size_t first_invalid_utf8(std::string_view text);

}  // namespace zentrel::io
