#pragma once

#include <cstdint>
#include <span>

#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

// Receives the groups of equal SortedVecKeys. A sink that only needs each key's first
// instance and its number of instances says so, and gets head() instead of group().
class KeyGroupSink {
public:
    explicit KeyGroupSink(bool wants_members) : wants_members(wants_members) {}
    // The instances of one key, in walk order.
    virtual void group(std::span<const std::uint64_t>) {}
    virtual void head(std::uint64_t /*first*/, std::size_t /*count*/) {}

    const bool wants_members;

protected:
    ~KeyGroupSink() = default;
};

// Calls sink.group once per distinct sub-entity key of the walk. Instead of one big hash table,
// instances are bucketed by their smallest node with a counting sort (two sequential passes),
// then the few instances of each bucket are matched by full key in a table that stays in
// cache; equal keys always share a bucket. The group order is deterministic: by bucket, then
// by first instance (keys of more than four nodes: by key).
void group_by_key(const SubentityWalk& walk, KeyGroupSink& sink);

}  // namespace zentrel
