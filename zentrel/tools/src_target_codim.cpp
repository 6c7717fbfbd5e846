#include "zentrel/tools/src_target_codim.hpp"

#include "zentrel/mesh/error.hpp"

namespace zentrel {

std::tuple<Dimension, Dimension, Dimension> compute_src_target_codim(const UMeshBase& mesh,
                                                                      std::optional<Dimension> src_dim,
                                                                      std::optional<Dimension> target_dim) {
    Dimension src;
    if (src_dim) {
        src = *src_dim;
    } else {
        std::optional<ElementType> top = mesh.max_element_type();
        if (!top) throw Error("the mesh has no element block, so it has no greatest element type");
        src = dimension_of(*top);
    }
    if (!target_dim) return {src, dimension_minus(src, 1), Dimension::D1};
    return {src, *target_dim, dimension_minus(src, to_uint(*target_dim))};
}

}  // namespace zentrel
