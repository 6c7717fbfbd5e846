#include "zentrel/tools/neighbours_csr.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zentrel/tools/key_groups.hpp"

namespace zentrel {

namespace {

template <class Idx>
class StarEdges final : public KeyGroupSink {
public:
    // Every instance after the first of its key adds at most one edge: the walk size bounds
    // the edge count, and untouched scratch pages cost nothing.
    StarEdges(const SubentityWalk& walk, EdgeKeys* keys)
        : KeyGroupSink(true),
          from(ScratchArray<Idx>::uninit(walk.size())),
          to(ScratchArray<Idx>::uninit(walk.size())),
          walk_(walk),
          keys_(keys) {}

    void group(std::span<const std::uint64_t> instances) override {
        if (instances.size() < 2) return;
        Idx first = static_cast<Idx>(walk_.element_of(instances[0]));
        bool any = false;
        for (std::size_t j = 1; j < instances.size(); ++j) {
            Idx other = static_cast<Idx>(walk_.element_of(instances[j]));
            if (other == first) continue;
            from[count] = first;
            to[count] = other;
            ++count;
            any = true;
            if (keys_) keys_->key_of_edge.push_back(keys_->key_end.size());
        }
        if (keys_ && any) {
            std::uint64_t buf[SubentityRule::kMaxWidth], e;
            std::span<const std::uint64_t> nodes = walk_.nodes(walk_.part_of(instances[0]), instances[0], buf, e);
            std::size_t off = keys_->key_data.size();
            keys_->key_data.insert(keys_->key_data.end(), nodes.begin(), nodes.end());
            std::sort(keys_->key_data.begin() + static_cast<std::ptrdiff_t>(off), keys_->key_data.end());
            keys_->key_end.push_back(keys_->key_data.size());
        }
    }

    ScratchArray<Idx> from, to;
    std::size_t count = 0;

private:
    const SubentityWalk& walk_;
    EdgeKeys* keys_;
};

}  // namespace

template <class Idx>
NeighbourCsr<Idx> build_neighbour_csr(const SubentityWalk& walk, EdgeKeys* keys) {
    StarEdges<Idx> star(walk, keys);
    group_by_key(walk, star);
    const std::uint64_t n = walk.num_elements();
    const std::size_t raw = star.count;

    NeighbourCsr<Idx> g;
    g.nodes = n;
    g.offsets = ScratchArray<Idx>::zeroed(n + 1);
    for (std::size_t r = 0; r < raw; ++r) {
        ++g.offsets[star.from[r] + 1];
        ++g.offsets[star.to[r] + 1];
    }
    for (std::uint64_t v = 0; v < n; ++v) g.offsets[v + 1] += g.offsets[v];
    ScratchArray<Idx> cursor = ScratchArray<Idx>::uninit(n);
    std::memcpy(cursor.data(), g.offsets.data(), n * sizeof(Idx));
    g.adjacent = ScratchArray<Idx>::uninit(g.offsets[n]);
    if (keys) g.edge = ScratchArray<Idx>::uninit(g.offsets[n]);
    for (std::size_t r = 0; r < raw; ++r) {
        Idx a = star.from[r], b = star.to[r];
        Idx pa = cursor[a]++, pb = cursor[b]++;
        g.adjacent[pa] = b;
        g.adjacent[pb] = a;
        if (keys) g.edge[pa] = g.edge[pb] = static_cast<Idx>(r);
    }
    star.from = {};
    star.to = {};
    cursor = {};

    // Sort each list by neighbour and drop repeated pairs in place; when a pair was linked
    // through several keys, the entry of the last added edge (hence its key) stays.
    std::vector<std::pair<Idx, Idx>> scratch;
    Idx write = 0;
    for (std::uint64_t v = 0; v < n; ++v) {
        const Idx b = g.offsets[v], e = g.offsets[v + 1];
        g.offsets[v] = write;
        if (!keys) {
            std::sort(g.adjacent.data() + b, g.adjacent.data() + e);
            for (Idx i = b; i < e; ++i)
                if (i == b || g.adjacent[i] != g.adjacent[i - 1]) g.adjacent[write++] = g.adjacent[i];
            continue;
        }
        scratch.clear();
        for (Idx i = b; i < e; ++i) scratch.emplace_back(g.adjacent[i], g.edge[i]);
        std::sort(scratch.begin(), scratch.end());
        for (std::size_t i = 0; i < scratch.size(); ++i) {
            if (i + 1 < scratch.size() && scratch[i + 1].first == scratch[i].first) continue;
            g.adjacent[write] = scratch[i].first;
            g.edge[write] = scratch[i].second;
            ++write;
        }
    }
    g.offsets[n] = write;
    return g;
}

template NeighbourCsr<std::uint32_t> build_neighbour_csr<std::uint32_t>(const SubentityWalk&, EdgeKeys*);
template NeighbourCsr<std::uint64_t> build_neighbour_csr<std::uint64_t>(const SubentityWalk&, EdgeKeys*);

}  // namespace zentrel
