#pragma once

#include <vector>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// Cartesian mesh from up to three axes (x, y, z): SEG2, QUAD4 or HEX8, axis 0 varying fastest
// in both node and cell numbering. Axis values are used as given (never sorted).
class RegularUMeshBuilder {
public:
    // Fails with "Cannot add more than three axes to a regular mesh builder" past three.
    RegularUMeshBuilder& add_axis(std::vector<double> values);

    ArrayF64 compute_coords() const;
    ArrayU64 compute_connectivity() const;
    UMeshBase build() const;

    std::size_t num_axes() const { return axes_.size(); }

private:
    struct Extents {
        std::size_t axes, n0, n1, n2;  // absent axes count as one value
    };
    Extents extents() const;

    std::vector<std::vector<double>> axes_;
};

}  // namespace zentrel
