#pragma once

#include <cstdint>
#include <vector>

#include "zentrel/tools/scratch_array.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

// Undirected adjacency of the elements of a walk (by walk position), linked when they produce
// the same sub-entity key. Each key adds a star from its first producer to every later one;
// pairs linked through several keys keep one entry. Each node's neighbours are ascending, that
// is in walk order. An element repeating a sub-entity is not its own neighbour.
template <class Idx>
struct NeighbourCsr {
    ScratchArray<Idx> offsets;  // num_nodes + 1
    ScratchArray<Idx> adjacent;
    ScratchArray<Idx> edge;  // per adjacency entry: the raw edge it came from (with keys only)
    std::uint64_t nodes = 0;

    std::uint64_t num_nodes() const { return nodes; }
    std::uint64_t num_entries() const { return nodes ? offsets[nodes] : 0; }
};

// Keys of the raw edges: raw edge r carries key key_data[key_end[g-1] .. key_end[g]) with
// g = key_of_edge[r]. Filled only when asked for.
struct EdgeKeys {
    std::vector<std::uint64_t> key_of_edge;
    std::vector<std::uint64_t> key_end;
    std::vector<std::uint64_t> key_data;
};

template <class Idx>
NeighbourCsr<Idx> build_neighbour_csr(const SubentityWalk& walk, EdgeKeys* keys);

// Whether the adjacency of this walk fits 32-bit indices. Conservative: every instance beyond
// the first of its key can add one edge, two entries each.
inline bool fits_u32(const SubentityWalk& walk) {
    return walk.num_elements() < (std::uint64_t{1} << 31) && walk.size() < (std::uint64_t{1} << 31);
}

}  // namespace zentrel
