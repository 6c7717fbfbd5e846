#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "zentrel/mesh/umesh.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

// The mesh made of the kept instances of a walk, in walk order, each with its table node order:
// the source's coordinates, one block per produced type, families 0, no fields, no groups.
// Arrays are sized exactly from a counting pass instead of grown element by element.
// keep has one flag per instance of the walk.
UMeshBase build_sub_mesh(const UMeshBase& source, const SubentityWalk& walk, const std::uint8_t* keep);

// Which instances of each distinct sub-entity key a derived mesh keeps.
enum class KeepRule {
    FirstOfEachKey,  // every key once, as its first instance in the walk (descending mesh)
    OnlyInstance,    // keys with a single instance (boundaries)
};

// Walks the sub-entities of codimension src - target of the elements of dimension src, groups
// them by key and builds the mesh of the instances the rule keeps.
UMeshBase build_kept_subentities(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                 std::optional<Dimension> target_dim, KeepRule rule);

}  // namespace zentrel
