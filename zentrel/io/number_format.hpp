#pragma once

#include <cstddef>
#include <cstdint>

namespace zentrel::io {

// Longest text any of the writers below produces, with room to spare.
inline constexpr std::size_t kMaxNumberChars = 32;

// Shortest round-trip digits, plain notation for decimal exponents -5..15 (integral values
// get ".0"), exponent notation otherwise. JSON writes the exponent sign always and non-finite
// values as null; YAML writes only a "-" sign and .nan / .inf / -.inf.
char* write_f64_json(char* out, double value);
char* write_f64_yaml(char* out, double value);
char* write_u64(char* out, std::uint64_t value);

// write_f64_json without its fast path for short decimals; the two must agree on every value.
char* write_f64_json_general(char* out, double value);

}  // namespace zentrel::io
