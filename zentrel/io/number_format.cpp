#include "zentrel/io/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace zentrel::io {

namespace {

char* put(char* out, const char* text) {
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

char* write_finite(char* out, double value, bool plus_sign) {
    // Scientific form gives the shortest digits and the exponent in one call; the layout
    // is then rebuilt from them.
    char sci[kMaxNumberChars];
    auto res = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
    const char* p = sci;
    if (*p == '-') *out++ = *p++;
    char digits[20];
    int nd = 0;
    while (*p != 'e') {
        if (*p != '.') digits[nd++] = *p;
        ++p;
    }
    ++p;  // 'e'
    int exp = 0;
    std::from_chars(*p == '+' ? p + 1 : p, res.ptr, exp);

    if (exp >= -5 && exp <= 15) {
        if (exp >= 0) {
            int int_digits = exp + 1;
            for (int i = 0; i < int_digits; ++i) *out++ = i < nd ? digits[i] : '0';
            *out++ = '.';
            if (nd > int_digits) {
                std::memcpy(out, digits + int_digits, nd - int_digits);
                out += nd - int_digits;
            } else {
                *out++ = '0';
            }
        } else {
            *out++ = '0';
            *out++ = '.';
            for (int i = 0; i < -exp - 1; ++i) *out++ = '0';
            std::memcpy(out, digits, nd);
            out += nd;
        }
        return out;
    }
    *out++ = digits[0];
    if (nd > 1) {
        *out++ = '.';
        std::memcpy(out, digits + 1, nd - 1);
        out += nd - 1;
    }
    *out++ = 'e';
    if (exp < 0) {
        *out++ = '-';
        exp = -exp;
    } else if (plus_sign) {
        *out++ = '+';
    }
    return std::to_chars(out, out + 8, exp).ptr;
}

}  // namespace

char* write_f64_json(char* out, double value) {
    if (!std::isfinite(value)) return put(out, "null");
    return write_finite(out, value, true);
}

char* write_f64_yaml(char* out, double value) {
    if (std::isnan(value)) return put(out, ".nan");
    if (std::isinf(value)) return put(out, value > 0 ? ".inf" : "-.inf");
    return write_finite(out, value, false);
}

char* write_u64(char* out, std::uint64_t value) { return std::to_chars(out, out + 24, value).ptr; }

}  // namespace zentrel::io
