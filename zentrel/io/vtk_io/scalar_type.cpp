#include "zentrel/io/vtk_io/scalar_type.hpp"

#include <bit>
#include <cstring>
#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel::io {

namespace {

struct Info {
    std::string_view xml;
    std::size_t size;
};

constexpr Info kInfo[] = {{"Int8", 1},  {"UInt8", 1},  {"Int16", 2},  {"UInt16", 2},   {"Int32", 4},
                          {"UInt32", 4}, {"Int64", 8}, {"UInt64", 8}, {"Float32", 4}, {"Float64", 8}};

template <class T>
T load(const unsigned char* p, bool big_endian) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    if constexpr (sizeof(T) > 1) {
        if (big_endian != (std::endian::native == std::endian::big)) {
            using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                         std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
            U u;
            std::memcpy(&u, &v, sizeof u);
            if constexpr (sizeof(T) == 2)
                u = __builtin_bswap16(u);
            else if constexpr (sizeof(T) == 4)
                u = __builtin_bswap32(u);
            else
                u = __builtin_bswap64(u);
            std::memcpy(&v, &u, sizeof u);
        }
    }
    return v;
}

template <class S, class D, class Check>
void convert(const unsigned char* src, std::size_t n, bool be, D* dst, Check&& check) {
    for (std::size_t i = 0; i < n; ++i) {
        S v = load<S>(src + i * sizeof(S), be);
        check(v, i);
        dst[i] = static_cast<D>(v);
    }
}

[[noreturn]] void bad_type(ScalarType t, std::string_view what, const char* expected) {
    throw Error("the " + std::string(what) + " array has type " + std::string(scalar_name(t)) + ", expected " +
                expected);
}

}  // namespace

std::size_t scalar_size(ScalarType t) { return kInfo[static_cast<int>(t)].size; }
std::string_view scalar_name(ScalarType t) { return kInfo[static_cast<int>(t)].xml; }

std::optional<ScalarType> scalar_from_xml_name(std::string_view name) {
    for (int i = 0; i < 10; ++i)
        if (kInfo[i].xml == name) return static_cast<ScalarType>(i);
    return std::nullopt;
}

std::optional<ScalarType> scalar_from_legacy_name(std::string_view name) {
    std::string n(name);
    for (char& c : n)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (n == "char" || n == "vtktypeint8") return ScalarType::Int8;
    if (n == "unsigned_char" || n == "vtktypeuint8") return ScalarType::UInt8;
    if (n == "short" || n == "vtktypeint16") return ScalarType::Int16;
    if (n == "unsigned_short" || n == "vtktypeuint16") return ScalarType::UInt16;
    if (n == "int" || n == "vtktypeint32") return ScalarType::Int32;
    if (n == "unsigned_int" || n == "vtktypeuint32") return ScalarType::UInt32;
    if (n == "long" || n == "vtktypeint64" || n == "vtkidtype") return ScalarType::Int64;
    if (n == "unsigned_long" || n == "vtktypeuint64") return ScalarType::UInt64;
    if (n == "float" || n == "vtktypefloat32") return ScalarType::Float32;
    if (n == "double" || n == "vtktypefloat64") return ScalarType::Float64;
    return std::nullopt;
}

void convert_to_u64(const unsigned char* src, std::size_t n, ScalarType t, bool be, std::uint64_t* dst,
                    std::string_view what) {
    auto non_negative = [&](auto v, std::size_t i) {
        if constexpr (std::is_signed_v<decltype(v)>)
            if (v < 0)
                throw Error("the " + std::string(what) + " array holds a negative value at position " +
                            std::to_string(i));
    };
    switch (t) {
        case ScalarType::Int8: return convert<std::int8_t>(src, n, be, dst, non_negative);
        case ScalarType::UInt8: return convert<std::uint8_t>(src, n, be, dst, non_negative);
        case ScalarType::Int16: return convert<std::int16_t>(src, n, be, dst, non_negative);
        case ScalarType::UInt16: return convert<std::uint16_t>(src, n, be, dst, non_negative);
        case ScalarType::Int32: return convert<std::int32_t>(src, n, be, dst, non_negative);
        case ScalarType::UInt32: return convert<std::uint32_t>(src, n, be, dst, non_negative);
        case ScalarType::Int64: return convert<std::int64_t>(src, n, be, dst, non_negative);
        case ScalarType::UInt64: return convert<std::uint64_t>(src, n, be, dst, non_negative);
        default: bad_type(t, what, "an integer type");
    }
}

void convert_to_i64(const unsigned char* src, std::size_t n, ScalarType t, bool be, std::int64_t* dst,
                    std::string_view what) {
    auto any = [](auto, std::size_t) {};
    auto fits = [&](std::uint64_t v, std::size_t i) {
        if (v > static_cast<std::uint64_t>(INT64_MAX))
            throw Error("the " + std::string(what) + " array holds a value out of range at position " +
                        std::to_string(i));
    };
    switch (t) {
        case ScalarType::Int8: return convert<std::int8_t>(src, n, be, dst, any);
        case ScalarType::UInt8: return convert<std::uint8_t>(src, n, be, dst, any);
        case ScalarType::Int16: return convert<std::int16_t>(src, n, be, dst, any);
        case ScalarType::UInt16: return convert<std::uint16_t>(src, n, be, dst, any);
        case ScalarType::Int32: return convert<std::int32_t>(src, n, be, dst, any);
        case ScalarType::UInt32: return convert<std::uint32_t>(src, n, be, dst, any);
        case ScalarType::Int64: return convert<std::int64_t>(src, n, be, dst, any);
        case ScalarType::UInt64: return convert<std::uint64_t>(src, n, be, dst, fits);
        default: bad_type(t, what, "an integer type");
    }
}

void convert_to_f64(const unsigned char* src, std::size_t n, ScalarType t, bool be, double* dst,
                    std::string_view what) {
    auto any = [](auto, std::size_t) {};
    if (t == ScalarType::Float64) {
        if (be == (std::endian::native == std::endian::big)) {
            if (n) std::memcpy(dst, src, n * 8);
            return;
        }
        return convert<double>(src, n, be, dst, any);
    }
    if (t == ScalarType::Float32) return convert<float>(src, n, be, dst, any);
    bad_type(t, what, "Float32 or Float64");
}

}  // namespace zentrel::io
