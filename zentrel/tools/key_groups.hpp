#pragma once

#include <cstdint>
#include <span>

#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

// Receives the instances of one distinct SortedVecKey, in walk order.
class KeyGroupSink {
public:
    virtual void group(std::span<const std::uint64_t> instances) = 0;

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
