#pragma once

#include <optional>
#include <vector>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element_ids.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// The elements of dimension src split into pieces joined through shared sub-entities of
// dimension link (defaults as for the neighbour graph). Pieces come in the reverse order of
// their first elements in the walk; within a piece, elements are in depth-first order from its
// first element, each node pushing its neighbours in walk order (so the last one is visited
// next). Each piece lists its indices per element type in that order.
std::vector<ElementIds> compute_connected_components(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                                     std::optional<Dimension> link_dim);

// The pieces extracted as meshes (fields taken along when with_fields).
std::vector<UMeshBase> connected_components(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                            std::optional<Dimension> link_dim, bool with_fields);

}  // namespace zentrel
