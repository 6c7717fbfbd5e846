#include "zentrel/tools/key_groups.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zentrel/mesh/error.hpp"
#include "zentrel/tools/scratch_array.hpp"

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

    template <std::size_t E>
    std::uint64_t of(std::span<const std::uint64_t, E> nodes) const {
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
    return a.instance < b.instance;
}

bool key_equal(const Record& a, const Record& b, const std::uint64_t* pool) {
    if (a.len != b.len) return false;
    return std::equal(pool + a.offset, pool + a.offset + a.len, pool + b.offset);
}

// Keys of up to four nodes live inline in the record, padded with the largest value so that a
// four-input sorting network sorts any length and equal-length keys compare as four words.
// Buckets are matched by hashing (BucketMatcher), so the records are never sorted.
struct NarrowRecord {
    std::uint64_t k[4];
    std::uint64_t len;
    std::uint64_t instance;
};

inline void cswap(std::uint64_t& a, std::uint64_t& b) {
    std::uint64_t lo = a < b ? a : b, hi = a < b ? b : a;
    a = lo;
    b = hi;
}

inline bool narrow_equal(const NarrowRecord& a, const NarrowRecord& b) {
    return a.len == b.len && a.k[0] == b.k[0] && a.k[1] == b.k[1] && a.k[2] == b.k[2] && a.k[3] == b.k[3];
}

inline std::uint64_t narrow_hash(const NarrowRecord& r) {
    std::uint64_t h = r.k[0] * 0x9e3779b97f4a7c15ull ^ r.k[1] * 0xc2b2ae3d27d4eb4full ^
                      r.k[2] * 0x165667b19e3779f9ull ^ r.k[3] * 0x27d4eb2f165667c5ull ^ r.len;
    return h ^ (h >> 29);
}

// Chains the records of one bucket into groups of equal keys, groups in order of their first
// record: a short scan of the group heads for small buckets, a small open-addressing table
// (cache resident, reused) for crowded ones.
class BucketMatcher {
public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    void match(const std::vector<NarrowRecord>& r) {
        const std::uint32_t m = static_cast<std::uint32_t>(r.size());
        next_.assign(m, kNone);
        tail_.resize(m);
        heads_.clear();
        if (m <= 12) {
            for (std::uint32_t i = 0; i < m; ++i) {
                std::uint32_t h = 0;
                for (; h < heads_.size(); ++h)
                    if (narrow_equal(r[heads_[h]], r[i])) break;
                add(i, h < heads_.size() ? heads_[h] : kNone);
            }
            return;
        }
        std::uint32_t size = 32;
        while (size < 2 * m) size *= 2;
        table_.assign(size, kNone);
        const std::uint32_t mask = size - 1;
        for (std::uint32_t i = 0; i < m; ++i) {
            std::uint32_t slot = static_cast<std::uint32_t>(narrow_hash(r[i])) & mask;
            while (table_[slot] != kNone && !narrow_equal(r[table_[slot]], r[i])) slot = (slot + 1) & mask;
            if (table_[slot] == kNone) table_[slot] = i;
            add(i, table_[slot] == i ? kNone : table_[slot]);
        }
    }

    const std::vector<std::uint32_t>& heads() const { return heads_; }
    std::uint32_t next(std::uint32_t i) const { return next_[i]; }

private:
    void add(std::uint32_t i, std::uint32_t head) {
        tail_[i] = i;
        if (head == kNone) {
            heads_.push_back(i);
            return;
        }
        next_[tail_[head]] = i;
        tail_[head] = i;
    }

    std::vector<std::uint32_t> table_, next_, tail_, heads_;
};

template <class Rec, class Less>
void stable_small_sort(std::vector<Rec>& v, Less less) {
    // Buckets are small, so insertion sort is the common case; a crowded node (a fan) falls
    // back to the n log n sort. Comparators break ties by instance, so equal keys stay in walk
    // order either way.
    if (v.size() <= 32) {
        for (std::size_t i = 1; i < v.size(); ++i) {
            Rec r = v[i];
            std::size_t j = i;
            while (j > 0 && less(r, v[j - 1])) {
                v[j] = v[j - 1];
                --j;
            }
            v[j] = r;
        }
    } else {
        std::sort(v.begin(), v.end(), less);
    }
}

template <class Idx>
void group_impl(const SubentityWalk& walk, KeyGroupSink& sink) {
    const std::uint64_t n = walk.size();
    Buckets buckets(walk.node_bound(), n);
    const std::uint64_t nb = buckets.count();

    ScratchArray<Idx> start = ScratchArray<Idx>::zeroed(nb + 1);
    walk.walk([&](std::uint64_t, auto nodes) { ++start[buckets.of(nodes) + 1]; });
    for (std::uint64_t b = 0; b < nb; ++b) start[b + 1] += start[b];
    ScratchArray<Idx> slots = ScratchArray<Idx>::uninit(n);
    {
        // Filling in walk order keeps each bucket ascending, so every group comes out in walk
        // order too. The cursor array reuses the bucket starts shifted by one.
        ScratchArray<Idx> cursor = ScratchArray<Idx>::uninit(nb);
        std::memcpy(cursor.data(), start.data(), nb * sizeof(Idx));
        walk.walk([&](std::uint64_t inst, auto nodes) {
            slots[cursor[buckets.of(nodes)]++] = static_cast<Idx>(inst);
        });
    }

    std::vector<std::uint64_t> members;
    std::uint64_t buf[SubentityRule::kMaxWidth];
    auto emit_runs = [&](const std::vector<Record>& records, auto equal) {
        for (std::size_t i = 0; i < records.size();) {
            std::size_t j = i + 1;
            while (j < records.size() && equal(records[i], records[j])) ++j;
            members.clear();
            for (std::size_t k = i; k < j; ++k) members.push_back(records[k].instance);
            sink.group(members);
            i = j;
        }
    };

    if (walk.narrow()) {
        std::vector<NarrowRecord> records;
        BucketMatcher matcher;
        for (std::uint64_t b = 0; b < nb; ++b) {
            const Idx s = start[b], e = start[b + 1];
            if (e - s == 0) continue;
            if (e - s == 1) {
                std::uint64_t one = slots[s];
                sink.group({&one, 1});
                continue;
            }
            records.resize(e - s);
            for (Idx i = s; i < e; ++i) {
                std::uint64_t inst = slots[i];
                NarrowRecord& r = records[i - s];
                std::uint64_t k[4];
                r.len = walk.narrow_nodes(walk.part_of(inst), inst, ~std::uint64_t{0}, k);
                cswap(k[0], k[1]);
                cswap(k[2], k[3]);
                cswap(k[0], k[2]);
                cswap(k[1], k[3]);
                cswap(k[1], k[2]);
                r.k[0] = k[0];
                r.k[1] = k[1];
                r.k[2] = k[2];
                r.k[3] = k[3];
                r.instance = inst;
            }
            matcher.match(records);
            for (std::uint32_t h : matcher.heads()) {
                members.clear();
                for (std::uint32_t i = h; i != BucketMatcher::kNone; i = matcher.next(i)) members.push_back(records[i].instance);
                sink.group(members);
            }
        }
        return;
    }

    std::vector<std::uint64_t> pool;
    std::vector<Record> records;
    for (std::uint64_t b = 0; b < nb; ++b) {
        const Idx s = start[b], e = start[b + 1];
        if (e - s == 0) continue;
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
        stable_small_sort(records, [p](const Record& x, const Record& y) { return key_less(x, y, p); });
        emit_runs(records, [p](const Record& x, const Record& y) { return key_equal(x, y, p); });
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
