#include "zentrel/tools/key_groups.hpp"

#include <algorithm>
#include <vector>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

namespace {

struct Record {
    std::uint32_t offset;  // into the bucket's key pool
    std::uint32_t len;
    std::uint64_t instance;
};

class Buckets {
public:
    Buckets(std::uint64_t node_bound, std::uint64_t instances)
        : nb_(std::max<std::uint64_t>(1, std::min(node_bound, instances + 1))) {}

    std::uint64_t count() const { return nb_ + 1; }  // the last one holds the empty keys

    std::uint64_t of(std::span<const std::uint64_t> nodes) const {
        if (nodes.empty()) return nb_;
        std::uint64_t m = nodes[0];
        for (std::size_t i = 1; i < nodes.size(); ++i) m = nodes[i] < m ? nodes[i] : m;
        return m < nb_ ? m : m % nb_;
    }

private:
    std::uint64_t nb_;
};

bool key_less(const Record& a, const Record& b, const std::uint64_t* pool) {
    if (a.len != b.len) return a.len < b.len;
    const std::uint64_t* x = pool + a.offset;
    const std::uint64_t* y = pool + b.offset;
    for (std::uint32_t i = 0; i < a.len; ++i)
        if (x[i] != y[i]) return x[i] < y[i];
    return false;
}

bool key_equal(const Record& a, const Record& b, const std::uint64_t* pool) {
    if (a.len != b.len) return false;
    return std::equal(pool + a.offset, pool + a.offset + a.len, pool + b.offset);
}

template <class Idx>
void group_impl(const SubentityWalk& walk, KeyGroupSink& sink) {
    const std::uint64_t n = walk.size();
    Buckets buckets(walk.node_bound(), n);
    const std::uint64_t nb = buckets.count();

    std::vector<Idx> start(nb + 1, 0);
    walk.walk([&](std::uint64_t, std::span<const std::uint64_t> nodes) { ++start[buckets.of(nodes) + 1]; });
    for (std::uint64_t b = 0; b < nb; ++b) start[b + 1] += start[b];
    std::vector<Idx> slots(n);
    {
        // Filling in walk order keeps each bucket ascending, so every group comes out in walk
        // order too. The cursor array reuses the bucket starts shifted by one.
        std::vector<Idx> cursor(start.begin(), start.end() - 1);
        walk.walk([&](std::uint64_t inst, std::span<const std::uint64_t> nodes) {
            slots[cursor[buckets.of(nodes)]++] = static_cast<Idx>(inst);
        });
    }

    std::vector<std::uint64_t> pool;
    std::vector<Record> records;
    std::vector<std::uint64_t> members;
    std::uint64_t buf[SubentityRule::kMaxWidth];
    for (std::uint64_t b = 0; b < nb; ++b) {
        const Idx s = start[b], e = start[b + 1];
        if (e - s == 0) continue;
        if (e - s == 1) {
            std::uint64_t one = slots[s];
            sink.group({&one, 1});
            continue;
        }
        pool.clear();
        records.clear();
        for (Idx i = s; i < e; ++i) {
            std::uint64_t inst = slots[i], element;
            std::span<const std::uint64_t> nodes = walk.nodes(walk.part_of(inst), inst, buf, element);
            std::size_t off = pool.size();
            if (off + nodes.size() > UINT32_MAX) throw Error("too many sub-entity nodes share one node");
            pool.insert(pool.end(), nodes.begin(), nodes.end());
            std::sort(pool.begin() + static_cast<std::ptrdiff_t>(off), pool.end());
            records.push_back({static_cast<std::uint32_t>(off), static_cast<std::uint32_t>(nodes.size()), inst});
        }
        const std::uint64_t* p = pool.data();
        // Stable: equal keys stay in walk order. Buckets are small, so insertion sort is the
        // common case; a crowded node (a fan) falls back to the n log n sort.
        if (records.size() <= 24) {
            for (std::size_t i = 1; i < records.size(); ++i) {
                Record r = records[i];
                std::size_t j = i;
                while (j > 0 && key_less(r, records[j - 1], p)) {
                    records[j] = records[j - 1];
                    --j;
                }
                records[j] = r;
            }
        } else {
            std::stable_sort(records.begin(), records.end(),
                             [p](const Record& x, const Record& y) { return key_less(x, y, p); });
        }
        for (std::size_t i = 0; i < records.size();) {
            std::size_t j = i + 1;
            while (j < records.size() && key_equal(records[i], records[j], p)) ++j;
            members.clear();
            for (std::size_t k = i; k < j; ++k) members.push_back(records[k].instance);
            sink.group(members);
            i = j;
        }
    }
}

}  // namespace

void group_by_key(const SubentityWalk& walk, KeyGroupSink& sink) {
    if (walk.size() == 0) return;
    // Pool offsets are 32-bit: a single bucket holding four billion key entries is not a mesh.
    if (walk.size() < (std::uint64_t{1} << 32))
        group_impl<std::uint32_t>(walk, sink);
    else
        group_impl<std::uint64_t>(walk, sink);
}

}  // namespace zentrel
