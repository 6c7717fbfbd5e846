#pragma once

#include <optional>
#include <tuple>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// (source, target, codimension). The source defaults to the highest dimension present, the
// target to the source minus one; a target above the source, or a default target below D0,
// fails like a dimension conversion. A target equal to the source gives codimension D0.
std::tuple<Dimension, Dimension, Dimension> compute_src_target_codim(const UMeshBase& mesh,
                                                                      std::optional<Dimension> src_dim,
                                                                      std::optional<Dimension> target_dim);

}  // namespace zentrel
