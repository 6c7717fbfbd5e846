#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zentrel::io {

// Value types of VTK data arrays.
enum class ScalarType { Int8, UInt8, Int16, UInt16, Int32, UInt32, Int64, UInt64, Float32, Float64 };

std::size_t scalar_size(ScalarType t);
std::string_view scalar_name(ScalarType t);
// "Int32", "Float64", ... as in XML files.
std::optional<ScalarType> scalar_from_xml_name(std::string_view name);
// "int", "double", "vtktypeint64", ... as in legacy files.
std::optional<ScalarType> scalar_from_legacy_name(std::string_view name);

// Converts n packed values of type t (in the given byte order) into unsigned integers. Floats
// and negative values fail: `what` names the array in the message.
void convert_to_u64(const unsigned char* src, std::size_t n, ScalarType t, bool big_endian, std::uint64_t* dst,
                    std::string_view what);
// The same for signed integers (the -1 markers of face offsets).
void convert_to_i64(const unsigned char* src, std::size_t n, ScalarType t, bool big_endian, std::int64_t* dst,
                    std::string_view what);
// Float32 and Float64 only; Float32 widens exactly.
void convert_to_f64(const unsigned char* src, std::size_t n, ScalarType t, bool big_endian, double* dst,
                    std::string_view what);

}  // namespace zentrel::io
