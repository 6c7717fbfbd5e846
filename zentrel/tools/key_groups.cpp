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

// One bucket per node (by the smallest node of a key), capped by the instance count; node
// numbers beyond the buckets (a mesh numbering past its coordinates) fold in by remainder.
class Buckets {
public:
    Buckets(std::uint64_t nodes, std::uint64_t instances)
        : nb_(std::max<std::uint64_t>(1, std::min(nodes, instances + 1))) {}

    std::uint64_t count() const { return nb_ + 1; }  // the last one holds the empty keys

    template <std::size_t E>
    std::uint64_t of(std::span<const std::uint64_t, E> nodes) const {
        if (nodes.empty()) return nb_;
        std::uint64_t m = nodes[0];
        for (std::size_t i = 1; i < nodes.size(); ++i) m = nodes[i] < m ? nodes[i] : m;
        return of_smallest(m);
    }
    std::uint64_t of_smallest(std::uint64_t m) const { return m < nb_ ? m : m % nb_; }
    std::uint64_t empty_bucket() const { return nb_; }
    // Smallest nodes below this are their own bucket.
    std::uint64_t limit() const { return nb_; }

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

constexpr std::size_t kSmallBucket = 12;

// Chains the records of a crowded bucket into groups of equal keys, groups in order of their
// first record, through a small open-addressing table (cache resident, reused).
class BucketMatcher {
public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    // hash(i) and equal(i, j) over the bucket's records 0 .. m-1.
    template <class Hash, class Equal>
    void match(std::size_t count, Hash hash, Equal equal) {
        if (count >= kNone) throw Error("too many sub-entities share one node");
        const std::uint32_t m = static_cast<std::uint32_t>(count);
        next_.assign(m, kNone);
        tail_.resize(m);
        heads_.clear();
        std::uint32_t size = 32;
        while (size < 2 * m) size *= 2;
        table_.assign(size, kNone);
        const std::uint32_t mask = size - 1;
        for (std::uint32_t i = 0; i < m; ++i) {
            std::uint32_t slot = static_cast<std::uint32_t>(hash(i)) & mask;
            while (table_[slot] != kNone && !equal(table_[slot], i)) slot = (slot + 1) & mask;
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

// Every sub-entity has the same node count W and its bucket is its smallest node: the other
// W - 1 sorted nodes fit in one 64-bit word when node numbers are narrow enough. Matching then
// reads (word, instance) pairs in bucket order and never goes back to the elements.
std::size_t uniform_width(const SubentityWalk& walk) {
    std::size_t w = 0;
    for (const SubentityWalk::Part& p : walk.parts()) {
        if (p.rule.kind == SubentityRule::Kind::PolyhedronFaces) return 0;
        if (w && w != p.rule.width) return 0;
        w = p.rule.width;
    }
    return w;
}

unsigned node_bits(std::uint64_t largest) {
    unsigned bits = 1;
    while (bits < 64 && (largest >> bits)) ++bits;
    return bits;
}

bool packable(const SubentityWalk& walk, std::uint64_t largest) {
    std::size_t w = uniform_width(walk);
    return w >= 1 && w <= SubentityRule::kMaxWidth && (w - 1) * node_bits(largest) <= 64;
}

template <class Idx>
void group_packed(const SubentityWalk& walk, KeyGroupSink& sink, const ScratchArray<Idx>& start, std::uint64_t nb,
                  std::uint64_t largest) {
    const std::uint64_t n = walk.size();
    const std::size_t w = uniform_width(walk);
    const unsigned bits = node_bits(largest);
    ScratchArray<Idx> slots = ScratchArray<Idx>::uninit(n);
    ScratchArray<std::uint64_t> rest = ScratchArray<std::uint64_t>::uninit(n);
    {
        ScratchArray<Idx> cursor = ScratchArray<Idx>::uninit(nb);
        std::memcpy(cursor.data(), start.data(), nb * sizeof(Idx));
        walk.walk([&](std::uint64_t inst, auto nodes) {
            std::uint64_t k[4] = {~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}};
            for (std::size_t j = 0; j < nodes.size(); ++j) k[j] = nodes[j];
            cswap(k[0], k[1]);
            cswap(k[2], k[3]);
            cswap(k[0], k[2]);
            cswap(k[1], k[3]);
            cswap(k[1], k[2]);
            std::uint64_t word = 0;
            for (std::size_t j = 1; j < w; ++j) word |= k[j] << ((j - 1) * bits);
            Idx pos = cursor[k[0]]++;
            slots[pos] = static_cast<Idx>(inst);
            rest[pos] = word;
        });
    }

    std::vector<std::uint64_t> members;
    BucketMatcher matcher;
    auto emit = [&](std::uint64_t first, auto&& for_each_member, std::size_t count) {
        if (!sink.wants_members) {
            sink.head(first, count);
            return;
        }
        members.clear();
        for_each_member([&](std::uint64_t inst) { members.push_back(inst); });
        sink.group(members);
    };
    for (std::uint64_t b = 0; b < nb; ++b) {
        const Idx s = start[b], e = start[b + 1];
        const std::size_t m = e - s;
        if (m == 0) continue;
        const std::uint64_t* key = rest.data() + s;
        const Idx* inst = slots.data() + s;
        if (m <= kSmallBucket) {
            // Pairwise, groups in order of their first record.
            bool taken[kSmallBucket] = {};
            for (std::size_t i = 0; i < m; ++i) {
                if (taken[i]) continue;
                std::size_t count = 1;
                for (std::size_t j = i + 1; j < m; ++j)
                    if (!taken[j] && key[j] == key[i]) {
                        taken[j] = true;
                        ++count;
                    }
                emit(inst[i],
                     [&](auto&& add) {
                         add(inst[i]);
                         for (std::size_t j = i + 1; j < m; ++j)
                             if (key[j] == key[i]) add(inst[j]);
                     },
                     count);
            }
            continue;
        }
        matcher.match(
            m, [&](std::uint32_t i) { return (key[i] * 0x9e3779b97f4a7c15ull) >> 32; },
            [&](std::uint32_t i, std::uint32_t j) { return key[i] == key[j]; });
        for (std::uint32_t h : matcher.heads()) {
            std::size_t count = 0;
            for (std::uint32_t i = h; i != BucketMatcher::kNone; i = matcher.next(i)) ++count;
            emit(inst[h],
                 [&](auto&& add) {
                     for (std::uint32_t i = h; i != BucketMatcher::kNone; i = matcher.next(i)) add(inst[i]);
                 },
                 count);
        }
    }
}

template <class Idx>
void group_impl(const SubentityWalk& walk, KeyGroupSink& sink) {
    const std::uint64_t n = walk.size();
    Buckets buckets(walk.node_count_hint(), n);
    const std::uint64_t nb = buckets.count();

    ScratchArray<Idx> start = ScratchArray<Idx>::zeroed(nb + 1);
    // The counting pass also learns whether every key's bucket is its smallest node and how
    // wide node numbers are: then the rest of a key packs into one word beside its instance.
    std::uint64_t largest = 0;
    bool folded = false;
    walk.walk([&](std::uint64_t, auto nodes) {
        if (nodes.empty()) {
            ++start[buckets.empty_bucket() + 1];
            return;
        }
        std::uint64_t lo = nodes[0], hi = nodes[0];
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            lo = nodes[i] < lo ? nodes[i] : lo;
            hi = nodes[i] > hi ? nodes[i] : hi;
        }
        largest = hi > largest ? hi : largest;
        folded |= lo >= buckets.limit();
        ++start[buckets.of_smallest(lo) + 1];
    });
    for (std::uint64_t b = 0; b < nb; ++b) start[b + 1] += start[b];
    if (!folded && packable(walk, largest)) return group_packed<Idx>(walk, sink, start, nb, largest);
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
            if (sink.wants_members) {
                members.clear();
                for (std::size_t k = i; k < j; ++k) members.push_back(records[k].instance);
                sink.group(members);
            } else {
                sink.head(records[i].instance, j - i);
            }
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
                if (sink.wants_members)
                    sink.group({&one, 1});
                else
                    sink.head(one, 1);
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
            if (records.size() <= kSmallBucket) {
                // Few records: pairwise comparison, groups in order of their first record.
                bool taken[kSmallBucket] = {};
                const std::size_t m = records.size();
                for (std::size_t i = 0; i < m; ++i) {
                    if (taken[i]) continue;
                    members.clear();
                    members.push_back(records[i].instance);
                    for (std::size_t j = i + 1; j < m; ++j)
                        if (!taken[j] && narrow_equal(records[i], records[j])) {
                            taken[j] = true;
                            members.push_back(records[j].instance);
                        }
                    if (sink.wants_members)
                        sink.group(members);
                    else
                        sink.head(members[0], members.size());
                }
                continue;
            }
            matcher.match(
                records.size(), [&](std::uint32_t i) { return narrow_hash(records[i]); },
                [&](std::uint32_t i, std::uint32_t j) { return narrow_equal(records[i], records[j]); });
            for (std::uint32_t h : matcher.heads()) {
                if (!sink.wants_members) {
                    std::size_t count = 0;
                    for (std::uint32_t i = h; i != BucketMatcher::kNone; i = matcher.next(i)) ++count;
                    sink.head(records[h].instance, count);
                    continue;
                }
                members.clear();
                for (std::uint32_t i = h; i != BucketMatcher::kNone; i = matcher.next(i))
                    members.push_back(records[i].instance);
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
