#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "zentrel/element_traits/geometry.hpp"
#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

// Length or area of one element from its node list. The formula family follows the space the
// caller asks for (2 or 3 coordinates), not the element's own dimension. Types without a
// formula fail with "not yet implemented"; only the nodes a formula names are read.
double measure2(ElementType type, std::span<const std::uint64_t> nodes, const ArrayF64& coords);
double measure3(ElementType type, std::span<const std::uint64_t> nodes, const ArrayF64& coords);

inline double measure2(const Element& e) { return measure2(e.type(), e.connectivity(), e.coords()); }
inline double measure3(const Element& e) { return measure3(e.type(), e.connectivity(), e.coords()); }

// How many leading nodes the formula of a type reads; 0 for VERTEX, which reads none.
std::size_t measure_node_count(ElementType type);

[[noreturn]] void throw_not_yet_implemented();
[[noreturn]] void throw_short_node_list(ElementType type, std::size_t have, std::size_t need);

// The formulas, evaluated exactly in the written order (the build forbids contraction), so
// that results are reproducible bit for bit. Shared by the per-element operations and the
// block loops of the measure field.
namespace formula {

inline double seg2_length(Point2 p0, Point2 p1) {
    double dx = p0.x - p1.x;
    double dy = p0.y - p1.y;
    return std::sqrt(dx * dx + dy * dy);
}

inline double seg2_length(Point3 p0, Point3 p1) {
    double dx = p0.x - p1.x;
    double dy = p0.y - p1.y;
    double dz = p0.z - p1.z;
    return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

inline double tri3_area(Point2 p0, Point2 p1, Point2 p2) {
    double ax = p1.x - p0.x, ay = p1.y - p0.y;
    double bx = p2.x - p0.x, by = p2.y - p0.y;
    return 0.5 * std::fabs(ax * by - ay * bx);
}

inline double tri3_area(Point3 p0, Point3 p1, Point3 p2) {
    double ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
    double bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    double cx = ay * bz - az * by;
    double cy = ax * bz - az * bx;
    double cz = ax * by - ay * bx;
    return std::sqrt(cx * cx + (cz * cz + cy * cy)) * 0.5;
}

// Unsigned shoelace over the cycle p0 p1 p2 p3; a self-crossing quadrangle gets the absolute
// value of its signed sum.
inline double quad4_area(Point2 p0, Point2 p1, Point2 p2, Point2 p3) {
    double plus = (p1.x * p2.y + p3.x * p0.y) + (p0.x * p1.y + p2.x * p3.y);
    double minus = (p1.x * p0.y + p3.x * p2.y) + (p2.x * p1.y + p0.x * p3.y);
    return 0.5 * std::fabs(plus - minus);
}

}  // namespace formula

}  // namespace zentrel
