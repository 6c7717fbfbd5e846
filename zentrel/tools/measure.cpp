#include "zentrel/tools/measure.hpp"

#include <algorithm>
#include <string>
#include <type_traits>

#include "zentrel/element_traits/measure.hpp"
#include "zentrel/mesh/field.hpp"

namespace zentrel {

namespace {

struct Read2 {
    NodePoints pts;
    Point2 operator()(std::uint64_t n) const { return pts.point2(n); }
};
struct Read3 {
    NodePoints pts;
    Point3 operator()(std::uint64_t n) const { return pts.point3(n); }
};

// Regular blocks of the types with a formula in the space of Read: the row width is checked
// once per block, node numbers and the coordinate width on every read.
template <class Read>
bool fill_regular(ElementType type, const ArrayU64& conn, const ArrayF64& coords, double* out) {
    constexpr bool plane = std::is_same_v<Read, Read2>;
    std::size_t need = measure_node_count(type);
    if (need == 0 || (type == ElementType::QUAD4 && !plane)) return false;
    std::size_t rows = conn.extent(0);
    std::size_t w = conn.extent(1);
    if (rows && w < need) throw_short_node_list(type, w, need);
    const std::uint64_t* c = conn.data();
    Read read{NodePoints(coords)};
    if (type == ElementType::SEG2) {
        for (std::size_t i = 0; i < rows; ++i, c += w) out[i] = formula::seg2_length(read(c[0]), read(c[1]));
    } else if (type == ElementType::TRI3) {
        for (std::size_t i = 0; i < rows; ++i, c += w)
            out[i] = formula::tri3_area(read(c[0]), read(c[1]), read(c[2]));
    } else if constexpr (plane) {
        for (std::size_t i = 0; i < rows; ++i, c += w)
            out[i] = formula::quad4_area(read(c[0]), read(c[1]), read(c[2]), read(c[3]));
    }
    return true;
}

ArrayF64 measure_block(const ElementBlockBase& b, const ArrayF64& coords, std::size_t space) {
    std::size_t n = b.len();
    if (space == 0) return ArrayF64::filled({n}, 0.0);
    ArrayF64 out = ArrayF64::uninit({n});
    double* o = out.data_mut();
    ElementType t = b.cell_type;
    if (t == ElementType::VERTEX) {
        std::fill_n(o, n, 0.0);
        return out;
    }
    if (b.connectivity.is_regular() && b.connectivity.regular_array().ndim() == 2) {
        const ArrayU64& conn = b.connectivity.regular_array();
        if (space == 2 ? fill_regular<Read2>(t, conn, coords, o) : fill_regular<Read3>(t, conn, coords, o))
            return out;
    }
    // Poly storage and the types without a formula (which fail on their first element).
    for (std::size_t i = 0; i < n; ++i) {
        auto nodes = b.connectivity.nodes(i);
        o[i] = space == 2 ? measure2(t, nodes, coords) : measure3(t, nodes, coords);
    }
    return out;
}

}  // namespace

MeasureMap measure(const UMeshBase& mesh) {
    auto top = mesh.max_element_type();
    if (!top) throw Error("cannot measure a mesh without element blocks: it has no greatest element type");
    Dimension dim = dimension_of(*top);
    std::size_t space = mesh.coords.ndim() < 2 ? 0 : mesh.coords.extent(1);
    MeasureMap result;
    for (const auto& [t, b] : mesh.element_blocks) {
        if (dimension_of(t) != dim) continue;
        if (space == 1) throw_not_yet_implemented();
        if (space > 3)
            throw Error(std::to_string(space) +
                        " is not a valid space dimension. Space (coordinates) dimension must be 0, 1, 2 ou 3.");
        result.emplace(t, measure_block(b, mesh.coords, space));
    }
    return result;
}

void measure_update(UMeshBase& mesh) {
    FieldBase field = FieldBase::new_(measure(mesh));
    mesh.update_field("Measure", field);
}

}  // namespace zentrel
