#include "zentrel/tools/grid.hpp"

#include <string>

namespace zentrel {

namespace {

std::size_t checked_mul(std::size_t a, std::size_t b) {
    if (a != 0 && b > SIZE_MAX / a) throw Error("the regular mesh is too large");
    return a * b;
}

}  // namespace

RegularUMeshBuilder& RegularUMeshBuilder::add_axis(std::vector<double> values) {
    if (axes_.size() >= 3) throw Error("Cannot add more than three axes to a regular mesh builder");
    axes_.push_back(std::move(values));
    return *this;
}

RegularUMeshBuilder::Extents RegularUMeshBuilder::extents() const {
    // An empty axis has no element count (n - 1 would wrap): refuse it before building.
    for (std::size_t a = 0; a < axes_.size(); ++a)
        if (axes_[a].empty())
            throw Error("Cannot create a regular mesh: axis " + std::to_string(a) + " has no values");
    std::size_t d = axes_.size();
    return {d, axes_[0].size(), d > 1 ? axes_[1].size() : 1, d > 2 ? axes_[2].size() : 1};
}

ArrayF64 RegularUMeshBuilder::compute_coords() const {
    if (axes_.empty() || axes_.size() > 3) throw Error("Cannot create coordinates for more than 3 axes");
    auto [d, n0, n1, n2] = extents();
    std::size_t nodes = checked_mul(checked_mul(n0, n1), n2);
    ArrayF64 coords = ArrayF64::uninit({nodes, d});
    double* out = coords.data_mut();
    const double* x = axes_[0].data();
    for (std::size_t k = 0; k < n2; ++k)
        for (std::size_t j = 0; j < n1; ++j)
            for (std::size_t i = 0; i < n0; ++i) {
                *out++ = x[i];
                if (d > 1) *out++ = axes_[1][j];
                if (d > 2) *out++ = axes_[2][k];
            }
    return coords;
}

ArrayU64 RegularUMeshBuilder::compute_connectivity() const {
    if (axes_.empty() || axes_.size() > 3) throw Error("Cannot create connectivity for more than 3 axes");
    auto [d, n0, n1, n2] = extents();
    std::size_t c0 = n0 - 1, c1 = d > 1 ? n1 - 1 : 1, c2 = d > 2 ? n2 - 1 : 1;
    std::size_t width = std::size_t{1} << d;  // 2, 4, 8
    std::size_t cells = checked_mul(checked_mul(c0, c1), c2);
    ArrayU64 conn = ArrayU64::uninit({cells, width});
    std::uint64_t* out = conn.data_mut();
    std::uint64_t L = n0 * n1;
    for (std::size_t k = 0; k < c2; ++k)
        for (std::size_t j = 0; j < c1; ++j)
            for (std::size_t i = 0; i < c0; ++i) {
                std::uint64_t b = i + n0 * j + L * k;
                if (d == 1) {
                    *out++ = b;
                    *out++ = b + 1;
                    continue;
                }
                out[0] = b;
                out[1] = b + 1;
                out[2] = b + n0 + 1;
                out[3] = b + n0;
                if (d == 3) {
                    out[4] = b + L;
                    out[5] = b + L + 1;
                    out[6] = b + L + n0 + 1;
                    out[7] = b + L + n0;
                }
                out += width;
            }
    return conn;
}

UMeshBase RegularUMeshBuilder::build() const {
    ArrayF64 coords = compute_coords();
    ArrayU64 conn = compute_connectivity();
    ElementType t;
    switch (axes_.size()) {
        case 1: t = ElementType::SEG2; break;
        case 2: t = ElementType::QUAD4; break;
        case 3: t = ElementType::HEX8; break;
        default: throw Error("Unsupported number of dimensions for regular mesh");
    }
    UMeshBase mesh(std::move(coords));
    mesh.add_regular_block(t, std::move(conn));
    return mesh;
}

}  // namespace zentrel
