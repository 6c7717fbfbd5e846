#include "zentrel/io/text_position.hpp"

#include <algorithm>

namespace zentrel::io {

std::string text_position(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
    std::size_t nl = text.rfind('\n', offset == 0 ? std::string_view::npos : offset - 1);
    std::size_t col = offset == 0 || nl == std::string_view::npos ? offset + 1 : offset - nl;
    return " at line " + std::to_string(line) + " column " + std::to_string(col);
}

std::size_t first_invalid_utf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size(), i = 0;
    while (i < n) {
        unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return i;
        }
        if (i + len > n) return i;
        if (s[i + 1] < lo || s[i + 1] > hi) return i;
        for (std::size_t k = 2; k < len; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF) return i;
        i += len;
    }
    return n;
}

}  // namespace zentrel::io
