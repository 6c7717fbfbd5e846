#include "zentrel/element_traits/geometry.hpp"

#include <string>

namespace zentrel {

void throw_node_out_of_range(std::uint64_t node, std::size_t num_nodes) {
    throw Error("node " + std::to_string(node) + " is out of range: the mesh has " + std::to_string(num_nodes) +
                " nodes");
}

void throw_point_width(std::size_t width, std::size_t wanted) {
    throw Error("assertion failed: a coordinate row of width " + std::to_string(width) + " read as a " +
                std::to_string(wanted) + "-point (expected width " + std::to_string(wanted) + ")");
}

Point2 centroid2(std::span<const std::uint64_t> nodes, const ArrayF64& coords) {
    NodePoints pts(coords);
    Point2 s;
    for (std::uint64_t n : nodes) {
        Point2 p = pts.point2(n);
        s.x += p.x;
        s.y += p.y;
    }
    double k = static_cast<double>(nodes.size());
    return {s.x / k, s.y / k};
}

Point3 centroid3(std::span<const std::uint64_t> nodes, const ArrayF64& coords) {
    NodePoints pts(coords);
    Point3 s;
    for (std::uint64_t n : nodes) {
        Point3 p = pts.point3(n);
        s.x += p.x;
        s.y += p.y;
        s.z += p.z;
    }
    double k = static_cast<double>(nodes.size());
    return {s.x / k, s.y / k, s.z / k};
}

}  // namespace zentrel
