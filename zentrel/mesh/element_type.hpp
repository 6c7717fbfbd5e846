#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "zentrel/mesh/dimension.hpp"

namespace zentrel {

// The order of the codes is part of the contract: blocks are stored and listed by it.
enum class ElementType : std::uint8_t {
    VERTEX = 0,
    SEG2,
    SEG3,
    SEG4,
    SPLINE,
    TRI3,
    TRI6,
    TRI7,
    QUAD4,
    QUAD8,
    QUAD9,
    PGON,
    TET4,
    TET10,
    HEX8,
    HEX21,
    PHED,
};

inline constexpr std::size_t kNumElementTypes = 17;

inline constexpr std::array<ElementType, kNumElementTypes> kAllElementTypes = {
    ElementType::VERTEX, ElementType::SEG2,  ElementType::SEG3,  ElementType::SEG4,
    ElementType::SPLINE, ElementType::TRI3,  ElementType::TRI6,  ElementType::TRI7,
    ElementType::QUAD4,  ElementType::QUAD8, ElementType::QUAD9, ElementType::PGON,
    ElementType::TET4,   ElementType::TET10, ElementType::HEX8,  ElementType::HEX21,
    ElementType::PHED,
};

constexpr std::size_t code_of(ElementType t) { return static_cast<std::size_t>(t); }

std::string_view name_of(ElementType t);

// Every name of the table; fails with Error on any other text (case-sensitive).
ElementType element_type_from_name(std::string_view name);
std::optional<ElementType> try_element_type_from_name(std::string_view name);

Dimension dimension_of(ElementType t);

// Fixed node count of a regular type; none for SPLINE, PGON and PHED.
std::optional<std::size_t> num_nodes(ElementType t);

constexpr bool is_poly(ElementType t) {
    return t == ElementType::SPLINE || t == ElementType::PGON || t == ElementType::PHED;
}

}  // namespace zentrel
