#pragma once

#include <optional>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// Every distinct sub-entity (by node set) of codimension src - target of the elements of
// dimension src, once, in order of first occurrence in the walk and with the node order of the
// first element that reaches it. Shares the source's coordinates; no fields, families 0.
UMeshBase compute_descending(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                             std::optional<Dimension> target_dim);

}  // namespace zentrel
