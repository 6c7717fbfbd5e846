#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>

namespace zentrel {

// Node numbers of a sub-entity sorted ascending (repetitions kept), so the same face or edge
// reached from different elements, in any rotation or orientation, gives an equal key. Up to
// four numbers are stored inline; longer keys (polygonal faces) go to the heap.
class SortedVecKey {
public:
    static constexpr std::size_t kInline = 4;

    SortedVecKey() = default;
    explicit SortedVecKey(std::span<const std::uint64_t> nodes) { assign(nodes); }
    SortedVecKey(std::initializer_list<std::uint64_t> nodes) { assign({nodes.begin(), nodes.size()}); }

    SortedVecKey(const SortedVecKey& o) { copy_from(o.values(), false); }
    SortedVecKey(SortedVecKey&& o) noexcept { steal(o); }
    SortedVecKey& operator=(const SortedVecKey& o) {
        if (this != &o) {
            release();
            copy_from(o.values(), false);
        }
        return *this;
    }
    SortedVecKey& operator=(SortedVecKey&& o) noexcept {
        if (this != &o) {
            release();
            steal(o);
        }
        return *this;
    }
    ~SortedVecKey() { release(); }

    // Copies the nodes and sorts the copy; the caller's list is left as it is.
    void assign(std::span<const std::uint64_t> nodes) {
        release();
        copy_from(nodes, true);
    }

    std::size_t size() const { return size_; }
    const std::uint64_t* data() const { return size_ > kInline ? heap_ : inline_; }
    std::span<const std::uint64_t> values() const { return {data(), size_}; }

    friend bool operator==(const SortedVecKey& a, const SortedVecKey& b) {
        return a.size_ == b.size_ && std::equal(a.data(), a.data() + a.size_, b.data());
    }

    // Length first, then the entries in order.
    std::size_t hash() const { return hash_values(values()); }
    static std::size_t hash_values(std::span<const std::uint64_t> v) {
        std::uint64_t h = 0x9e3779b97f4a7c15ull ^ (v.size() * 0xff51afd7ed558ccdull);
        for (std::uint64_t x : v) h = mix(h ^ x);
        return static_cast<std::size_t>(mix(h));
    }

private:
    static std::uint64_t mix(std::uint64_t x) {
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdull;
        x ^= x >> 33;
        x *= 0xc4ceb9fe1a85ec53ull;
        x ^= x >> 33;
        return x;
    }

    void copy_from(std::span<const std::uint64_t> nodes, bool sort) {
        size_ = nodes.size();
        std::uint64_t* dst = size_ > kInline ? (heap_ = new std::uint64_t[size_]) : inline_;
        if (size_) std::memcpy(dst, nodes.data(), size_ * sizeof(std::uint64_t));
        if (sort) std::sort(dst, dst + size_);
    }
    void steal(SortedVecKey& o) {
        size_ = o.size_;
        if (size_ > kInline)
            heap_ = o.heap_;
        else
            std::memcpy(inline_, o.inline_, sizeof inline_);
        o.size_ = 0;
    }
    void release() {
        if (size_ > kInline) delete[] heap_;
        size_ = 0;
    }

    std::size_t size_ = 0;
    union {
        std::uint64_t inline_[kInline] = {};
        std::uint64_t* heap_;
    };
};

}  // namespace zentrel

template <>
struct std::hash<zentrel::SortedVecKey> {
    std::size_t operator()(const zentrel::SortedVecKey& k) const noexcept { return k.hash(); }
};
