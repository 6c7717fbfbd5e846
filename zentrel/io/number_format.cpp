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

// Values with few decimals (grid coordinates, most hand-written data) are formatted without the
// general shortest-digits search. a = m / 10^K for an integer m < 2^53 exactly when dividing
// the rounded product back gives a again (both steps are correctly rounded, 10^K is exact);
// the decimal m * 10^-K then reads back to a. Returns nullptr when the value does not qualify.
char* write_plain_fast(char* out, double a) {
    static constexpr double kPow[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    static constexpr std::uint64_t kPowI[16] = {1,
                                                10,
                                                100,
                                                1000,
                                                10000,
                                                100000,
                                                1000000,
                                                10000000,
                                                100000000,
                                                1000000000,
                                                10000000000,
                                                100000000000,
                                                1000000000000,
                                                10000000000000,
                                                100000000000000,
                                                1000000000000000};
    if (!(a >= 1e-5)) return nullptr;
    // The product stays below 2^50: then a's rounding interval, scaled by 10^K, is shorter than
    // a quarter, so at most one m qualifies and the shorter forms are that m without its zeros.
    int K = a < 1.1 ? 15 : a < 1.1e3 ? 12 : a < 1.1e6 ? 9 : a < 1.1e9 ? 6 : a < 1.1e12 ? 3 : a < 1.1e15 ? 0 : -1;
    if (K < 0) return nullptr;
    double p = a * kPow[K];
    constexpr double kTwo50 = 1125899906842624.0, kTwo52 = 4503599627370496.0;
    if (!(p < kTwo50)) return nullptr;
    double mr = (p + kTwo52) - kTwo52;  // round to nearest, ties to even
    if (mr / kPow[K] != a) return nullptr;
    auto m = static_cast<std::uint64_t>(mr);
    int k = K;
    while (k > 0 && m % 10 == 0) {
        m /= 10;
        --k;
    }
    out = write_u64(out, m / kPowI[k]);
    *out++ = '.';
    if (k == 0) {
        *out++ = '0';
        return out;
    }
    std::uint64_t frac = m % kPowI[k];
    for (int i = k - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    return out + k;
}

char* write_number(char* out, double value, bool plus_sign) {
    double a = value;
    char* start = out;
    if (std::signbit(value)) {
        *out++ = '-';
        a = -value;
    }
    if (a == 0) return put(out, "0.0");
    if (char* end = write_plain_fast(out, a)) return end;
    return write_finite(start, value, plus_sign);
}

}  // namespace

char* write_f64_json(char* out, double value) {
    if (!std::isfinite(value)) return put(out, "null");
    return write_number(out, value, true);
}

char* write_f64_yaml(char* out, double value) {
    if (std::isnan(value)) return put(out, ".nan");
    if (std::isinf(value)) return put(out, value > 0 ? ".inf" : "-.inf");
    return write_number(out, value, false);
}

char* write_f64_json_general(char* out, double value) {
    if (!std::isfinite(value)) return put(out, "null");
    return write_finite(out, value, true);
}

char* write_u64(char* out, std::uint64_t value) {
    // Node numbers dominate documents: small values take a short path.
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char buf[20];
    char* p = buf + 20;
    while (value >= 100) {
        std::uint64_t r = value % 100;
        value /= 100;
        p -= 2;
        std::memcpy(p, kPairs + 2 * r, 2);
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * value, 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    std::size_t n = static_cast<std::size_t>(buf + 20 - p);
    std::memcpy(out, p, n);
    return out + n;
}

}  // namespace zentrel::io
