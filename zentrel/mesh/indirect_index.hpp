#pragma once

#include <cstdint>
#include <span>

#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

// Variable-length lists packed into one value array and the END offset of each item:
// item i is data[offsets[i-1] .. offsets[i]) with offsets[-1] = 0.
struct IndirectIndex {
    ArrayU64 data;
    ArrayU64 offsets;

    IndirectIndex() = default;
    IndirectIndex(ArrayU64 data, ArrayU64 offsets) : data(std::move(data)), offsets(std::move(offsets)) {}

    std::size_t len() const { return offsets.size(); }
    void push(std::span<const std::uint64_t> values);

    // Bounds of item i, checked against the stored arrays so that inconsistent offsets read
    // from a file are reported, never followed.
    std::pair<std::size_t, std::size_t> bounds(std::size_t i) const;
    std::span<const std::uint64_t> item(std::size_t i) const;
    std::span<std::uint64_t> item_mut(std::size_t i);

    // Fails unless offsets never decrease and the last one equals the data length.
    void validate() const;

    friend bool operator==(const IndirectIndex&, const IndirectIndex&) = default;

    class Iterator {
    public:
        Iterator(const IndirectIndex* index, std::size_t i) : index_(index), i_(i) {}
        std::span<const std::uint64_t> operator*() const { return index_->item(i_); }
        Iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const Iterator& o) const { return i_ == o.i_; }

    private:
        const IndirectIndex* index_;
        std::size_t i_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, len()}; }
};

}  // namespace zentrel
