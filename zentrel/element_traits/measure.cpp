#include "zentrel/element_traits/measure.hpp"

#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

void throw_not_yet_implemented() { throw Error("not yet implemented"); }

void throw_short_node_list(ElementType type, std::size_t have, std::size_t need) {
    throw Error("index out of range: a " + std::string(name_of(type)) + " element lists " + std::to_string(have) +
                " nodes, its measure reads " + std::to_string(need));
}

std::size_t measure_node_count(ElementType type) {
    switch (type) {
        case ElementType::SEG2: return 2;
        case ElementType::TRI3: return 3;
        case ElementType::QUAD4: return 4;
        default: return 0;
    }
}

namespace {

void require_nodes(ElementType type, std::span<const std::uint64_t> nodes) {
    std::size_t need = measure_node_count(type);
    if (nodes.size() < need) throw_short_node_list(type, nodes.size(), need);
}

}  // namespace

double measure2(ElementType type, std::span<const std::uint64_t> nodes, const ArrayF64& coords) {
    NodePoints pts(coords);
    switch (type) {
        case ElementType::VERTEX: return 0.0;
        case ElementType::SEG2:
            require_nodes(type, nodes);
            return formula::seg2_length(pts.point2(nodes[0]), pts.point2(nodes[1]));
        case ElementType::TRI3:
            require_nodes(type, nodes);
            return formula::tri3_area(pts.point2(nodes[0]), pts.point2(nodes[1]), pts.point2(nodes[2]));
        case ElementType::QUAD4:
            require_nodes(type, nodes);
            return formula::quad4_area(pts.point2(nodes[0]), pts.point2(nodes[1]), pts.point2(nodes[2]),
                                       pts.point2(nodes[3]));
        default: throw_not_yet_implemented();
    }
}

double measure3(ElementType type, std::span<const std::uint64_t> nodes, const ArrayF64& coords) {
    NodePoints pts(coords);
    switch (type) {
        case ElementType::VERTEX: return 0.0;
        case ElementType::SEG2:
            require_nodes(type, nodes);
            return formula::seg2_length(pts.point3(nodes[0]), pts.point3(nodes[1]));
        case ElementType::TRI3:
            require_nodes(type, nodes);
            return formula::tri3_area(pts.point3(nodes[0]), pts.point3(nodes[1]), pts.point3(nodes[2]));
        case ElementType::QUAD4:
            // The points are read (and so checked) before giving up, so a bad node number is
            // reported as such rather than hidden behind the missing formula.
            require_nodes(type, nodes);
            for (std::size_t k = 0; k < 4; ++k) (void)pts.point3(nodes[k]);
            throw_not_yet_implemented();
        default: throw_not_yet_implemented();
    }
}

}  // namespace zentrel
