#include "zentrel/mesh/element_type.hpp"

#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

namespace {

struct TypeInfo {
    std::string_view name;
    Dimension dim;
    std::size_t nodes;  // 0 for the poly types
};

constexpr std::array<TypeInfo, kNumElementTypes> kTable = {{
    {"VERTEX", Dimension::D0, 1}, {"SEG2", Dimension::D1, 2},  {"SEG3", Dimension::D1, 3},
    {"SEG4", Dimension::D1, 4},   {"SPLINE", Dimension::D1, 0}, {"TRI3", Dimension::D2, 3},
    {"TRI6", Dimension::D2, 6},   {"TRI7", Dimension::D2, 7},  {"QUAD4", Dimension::D2, 4},
    {"QUAD8", Dimension::D2, 8},  {"QUAD9", Dimension::D2, 9}, {"PGON", Dimension::D2, 0},
    {"TET4", Dimension::D3, 4},   {"TET10", Dimension::D3, 10}, {"HEX8", Dimension::D3, 8},
    {"HEX21", Dimension::D3, 21}, {"PHED", Dimension::D3, 0},
}};

}  // namespace

std::string_view name_of(ElementType t) { return kTable[code_of(t)].name; }

std::optional<ElementType> try_element_type_from_name(std::string_view name) {
    for (ElementType t : kAllElementTypes)
        if (kTable[code_of(t)].name == name) return t;
    return std::nullopt;
}

ElementType element_type_from_name(std::string_view name) {
    if (auto t = try_element_type_from_name(name)) return *t;
    throw Error("Unknown element type: " + std::string(name));
}

Dimension dimension_of(ElementType t) { return kTable[code_of(t)].dim; }

std::optional<std::size_t> num_nodes(ElementType t) {
    std::size_t n = kTable[code_of(t)].nodes;
    if (n == 0) return std::nullopt;
    return n;
}

}  // namespace zentrel
