#pragma once

#include <optional>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// The sub-entities of codimension src - target produced exactly once by the elements of
// dimension src (counted with multiplicity, so one repeated inside an element is not kept), in
// order of occurrence in the walk, each oriented as its owning element's table orders it.
// Shares the source's coordinates; no fields, families 0.
UMeshBase compute_submesh_with_n_neighbours(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                            std::optional<Dimension> target_dim);

}  // namespace zentrel
