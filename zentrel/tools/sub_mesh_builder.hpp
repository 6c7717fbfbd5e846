#pragma once

#include <cstdint>
#include <vector>

#include "zentrel/mesh/umesh.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

// The mesh made of the kept instances of a walk, in walk order, each with its table node order:
// the source's coordinates, one block per produced type, families 0, no fields, no groups.
// Arrays are sized exactly from a counting pass instead of grown element by element.
// keep has one flag per instance of the walk.
UMeshBase build_sub_mesh(const UMeshBase& source, const SubentityWalk& walk, const std::uint8_t* keep);

}  // namespace zentrel
