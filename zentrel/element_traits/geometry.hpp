#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

struct Point2 {
    double x = 0.0, y = 0.0;
    friend bool operator==(const Point2&, const Point2&) = default;
};

struct Point3 {
    double x = 0.0, y = 0.0, z = 0.0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

[[noreturn]] void throw_node_out_of_range(std::uint64_t node, std::size_t num_nodes);
[[noreturn]] void throw_point_width(std::size_t width, std::size_t wanted);

// Reads node points from a (nodes, width) coordinate array. Every node number is checked, and
// so is the width on every read: a row is never truncated or padded to make a point. Holds no
// allocation, so one can be made per element.
class NodePoints {
public:
    explicit NodePoints(const ArrayF64& coords)
        : data_(coords.data()),
          num_nodes_(coords.ndim() == 0 ? 0 : coords.extent(0)),
          width_(coords.ndim() < 2 ? 0 : coords.extent(1)) {}

    std::size_t num_nodes() const { return num_nodes_; }
    std::size_t width() const { return width_; }

    Point2 point2(std::uint64_t node) const {
        if (width_ != 2) throw_point_width(width_, 2);
        if (node >= num_nodes_) throw_node_out_of_range(node, num_nodes_);
        const double* r = data_ + node * 2;
        return {r[0], r[1]};
    }

    Point3 point3(std::uint64_t node) const {
        if (width_ != 3) throw_point_width(width_, 3);
        if (node >= num_nodes_) throw_node_out_of_range(node, num_nodes_);
        const double* r = data_ + node * 3;
        return {r[0], r[1], r[2]};
    }

private:
    const double* data_;
    std::size_t num_nodes_;
    std::size_t width_;
};

// Plain average of the listed nodes (a repeated node counts each time it is listed). No nodes
// gives 0/0 = NaN in every component, and then no row is read.
Point2 centroid2(std::span<const std::uint64_t> nodes, const ArrayF64& coords);
Point3 centroid3(std::span<const std::uint64_t> nodes, const ArrayF64& coords);

inline Point2 centroid2(const Element& e) { return centroid2(e.connectivity(), e.coords()); }
inline Point3 centroid3(const Element& e) { return centroid3(e.connectivity(), e.coords()); }

}  // namespace zentrel
