#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element_type.hpp"

namespace zentrel {

// Ends each face in a polyhedron's node list.
inline constexpr std::uint64_t kFaceSeparator = std::numeric_limits<std::uint64_t>::max();

// How the sub-entities of one (element type, codimension) pair are read off a node list. The
// tables are the library's local numbering: every produced face, edge or vertex takes its node
// order from them.
struct SubentityRule {
    enum class Kind : std::uint8_t { Table, PolygonEdges, PolygonVertices, PolyhedronFaces };
    Kind kind = Kind::Table;
    ElementType element = ElementType::VERTEX;
    ElementType type = ElementType::VERTEX;  // of the sub-entities
    std::uint8_t count = 0;                  // Table: rows
    std::uint8_t width = 0;                  // nodes per sub-entity; 0 for polyhedron faces
    std::uint8_t needed = 0;                 // Table: node-list length the rows read up to
    const std::uint8_t* rows = nullptr;      // Table: count * width local positions

    static constexpr std::size_t kMaxWidth = 4;

    // Number of sub-entities of a node list of length n (polyhedron faces need the list itself).
    std::size_t count_for(std::size_t n) const {
        return kind == Kind::Table ? count : n;
    }
};

// The rule of (element type, codim), or Error with the exact message for a pair no table covers.
SubentityRule subentity_rule(ElementType element, Dimension codim);

[[noreturn]] void throw_short_node_list(const SubentityRule& rule, std::size_t n);

// Error unless a node list of length n is long enough for every position the rule reads.
inline void check_node_count(const SubentityRule& rule, std::size_t n) {
    std::size_t needed = rule.kind == SubentityRule::Kind::Table          ? rule.needed
                         : rule.kind == SubentityRule::Kind::PolygonEdges ? 1
                                                                          : 0;
    if (n < needed) throw_short_node_list(rule, n);
}

// Calls f(nodes) for each sub-entity in table order (faces of a polyhedron in list order), the
// nodes in table order. The node list is checked first, so nothing is read past its end.
template <class F>
void for_each_subentity(const SubentityRule& rule, std::span<const std::uint64_t> nodes, F&& f) {
    check_node_count(rule, nodes.size());
    using Kind = SubentityRule::Kind;
    std::uint64_t buf[SubentityRule::kMaxWidth];
    switch (rule.kind) {
        case Kind::Table:
            for (std::size_t r = 0; r < rule.count; ++r) {
                const std::uint8_t* row = rule.rows + r * rule.width;
                for (std::size_t j = 0; j < rule.width; ++j) buf[j] = nodes[row[j]];
                f(std::span<const std::uint64_t>(buf, rule.width));
            }
            break;
        case Kind::PolygonEdges:
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                buf[0] = nodes[i];
                buf[1] = nodes[i + 1 == nodes.size() ? 0 : i + 1];
                f(std::span<const std::uint64_t>(buf, 2));
            }
            break;
        case Kind::PolygonVertices:
            for (std::size_t i = 0; i < nodes.size(); ++i) f(nodes.subspan(i, 1));
            break;
        case Kind::PolyhedronFaces: {
            // Each piece ends at a separator, which is dropped; a final piece without one loses
            // its last entry just the same.
            std::size_t start = 0;
            for (std::size_t i = 0; i < nodes.size(); ++i)
                if (nodes[i] == kFaceSeparator) {
                    f(nodes.subspan(start, i - start));
                    start = i + 1;
                }
            if (start < nodes.size()) f(nodes.subspan(start, nodes.size() - 1 - start));
            break;
        }
    }
}

// Number of faces of a polyhedron node list, as for_each_subentity produces them.
std::size_t count_polyhedron_faces(std::span<const std::uint64_t> nodes);

}  // namespace zentrel
