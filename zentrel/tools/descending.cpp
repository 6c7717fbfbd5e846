#include "zentrel/tools/descending.hpp"

#include "zentrel/tools/sub_mesh_builder.hpp"

namespace zentrel {

UMeshBase compute_descending(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                             std::optional<Dimension> target_dim) {
    return build_kept_subentities(mesh, src_dim, target_dim, KeepRule::FirstOfEachKey);
}

}  // namespace zentrel
