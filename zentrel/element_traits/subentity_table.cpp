#include "zentrel/element_traits/subentity_table.hpp"

#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

namespace {

using Kind = SubentityRule::Kind;
using ET = ElementType;

constexpr std::uint8_t kSegVertices[] = {0, 1};
constexpr std::uint8_t kTriEdges[] = {0, 1, 1, 2, 2, 0};
constexpr std::uint8_t kTri6Edges[] = {0, 1, 3, 1, 2, 4, 2, 0, 5};
constexpr std::uint8_t kTriVertices[] = {0, 1, 2};
constexpr std::uint8_t kQuadEdges[] = {0, 1, 1, 2, 2, 3, 3, 0};
constexpr std::uint8_t kQuadVertices[] = {0, 1, 2, 3};
constexpr std::uint8_t kTetFaces[] = {0, 1, 2, 1, 2, 3, 2, 3, 0, 3, 0, 1};
constexpr std::uint8_t kTetEdges[] = {0, 1, 0, 2, 0, 3, 1, 2, 1, 3, 2, 3};
constexpr std::uint8_t kTetVertices[] = {0, 1, 2, 3};
constexpr std::uint8_t kHexFaces[] = {0, 1, 2, 3, 0, 3, 7, 4, 0, 4, 5, 1, 1, 5, 6, 2, 2, 6, 7, 3, 4, 7, 6, 5};
constexpr std::uint8_t kHexEdges[] = {0, 1, 0, 3, 0, 4, 1, 2, 1, 5, 2, 3, 2, 6, 3, 7, 4, 5, 4, 7, 5, 6, 6, 7};
constexpr std::uint8_t kHexVertices[] = {0, 1, 2, 3, 4, 5, 6, 7};

template <std::size_t N>
SubentityRule table(ET element, ET type, std::uint8_t width, const std::uint8_t (&rows)[N]) {
    std::uint8_t highest = 0;
    for (std::uint8_t p : rows) highest = p > highest ? p : highest;
    return {Kind::Table, element, type, static_cast<std::uint8_t>(N / width), width,
            static_cast<std::uint8_t>(highest + 1), rows};
}

[[noreturn]] void fail(const char* message) { throw Error(message); }

}  // namespace

SubentityRule subentity_rule(ElementType element, Dimension codim) {
    const Dimension D1 = Dimension::D1, D2 = Dimension::D2, D3 = Dimension::D3;
    switch (element) {
        case ET::SEG2:
        case ET::SEG3:
        case ET::SEG4:
            if (codim != D1) fail("It is not possible to ask for codim different from D1 on SEG");
            return table(element, ET::VERTEX, 1, kSegVertices);
        case ET::TRI3:
        case ET::TRI6:
        case ET::TRI7:
            if (codim == D1)
                return element == ET::TRI3 ? table(element, ET::SEG2, 2, kTriEdges)
                                           : table(element, ET::SEG3, 3, kTri6Edges);
            if (codim == D2) return table(element, ET::VERTEX, 1, kTriVertices);
            fail("It is not possible to ask for codim diff from D1 and D2 on TRI3");
        case ET::QUAD4:
            if (codim == D1) return table(element, ET::SEG2, 2, kQuadEdges);
            if (codim == D2) return table(element, ET::VERTEX, 1, kQuadVertices);
            fail("It is not possible to ask for codim diff from D1 and D2 on QUAD");
        case ET::PGON:
            if (codim == D1) return {Kind::PolygonEdges, element, ET::SEG2, 0, 2, 0, nullptr};
            if (codim == D2) return {Kind::PolygonVertices, element, ET::VERTEX, 0, 1, 0, nullptr};
            fail("It is not possible to ask for codim diff from D1 or D2 on PGON");
        case ET::TET4:
            if (codim == D1) return table(element, ET::TRI3, 3, kTetFaces);
            if (codim == D2) return table(element, ET::SEG2, 2, kTetEdges);
            if (codim == D3) return table(element, ET::VERTEX, 1, kTetVertices);
            fail("It is not possible to ask for codim diff from D1, D2 or D3 on TET");
        case ET::HEX8:
            if (codim == D1) return table(element, ET::QUAD4, 4, kHexFaces);
            if (codim == D2) return table(element, ET::SEG2, 2, kHexEdges);
            if (codim == D3) return table(element, ET::VERTEX, 1, kHexVertices);
            fail("It is not possible to ask for codim diff from D1, D2 or D3 on HEX");
        case ET::PHED:
            if (codim == D1) return {Kind::PolyhedronFaces, element, ET::PGON, 0, 0, 0, nullptr};
            fail("not yet implemented");
        default:
            fail("not yet implemented");
    }
}

void throw_short_node_list(const SubentityRule& rule, std::size_t n) {
    std::size_t needed = rule.kind == Kind::Table ? rule.needed : 1;
    throw Error("index out of range: the sub-entities of " + std::string(name_of(rule.element)) + " read " +
                std::to_string(needed) + " nodes, the element has " + std::to_string(n));
}

std::size_t count_polyhedron_faces(std::span<const std::uint64_t> nodes) {
    std::size_t faces = 0;
    for (std::uint64_t v : nodes) faces += v == kFaceSeparator;
    if (!nodes.empty() && nodes.back() != kFaceSeparator) ++faces;
    return faces;
}

}  // namespace zentrel
