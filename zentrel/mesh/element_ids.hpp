#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "zentrel/mesh/element_type.hpp"

namespace zentrel {

// A set of element indices of one block, kept as a strictly ascending vector: membership is a
// binary search, intersection and difference are linear merges, and listing it in ascending
// order (what extraction wants) costs nothing.
class IndexSet {
public:
    IndexSet() = default;
    // Any order, repetitions allowed.
    static IndexSet from_values(std::span<const std::uint64_t> values);
    // Values already strictly ascending (checked; sorted anyway if they are not).
    static IndexSet from_sorted(std::vector<std::uint64_t> values);

    bool contains(std::uint64_t i) const;
    std::size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    std::span<const std::uint64_t> values() const { return values_; }

    void retain(const IndexSet& other);
    void remove(const IndexSet& other);

    friend bool operator==(const IndexSet&, const IndexSet&) = default;

private:
    std::vector<std::uint64_t> values_;
};

struct ElementIdsSet;

// Element indices grouped by element type, as ordered lists (order kept, repetitions allowed).
struct ElementIds {
    std::map<ElementType, std::vector<std::uint64_t>> ids;

    ElementIds() = default;
    explicit ElementIds(std::map<ElementType, std::vector<std::uint64_t>> m) : ids(std::move(m)) {}
    // Each set listed in ascending order.
    explicit ElementIds(const ElementIdsSet& set);

    friend bool operator==(const ElementIds&, const ElementIds&) = default;
};

// Element indices grouped by element type, as sets.
struct ElementIdsSet {
    std::map<ElementType, IndexSet> sets;

    ElementIdsSet() = default;
    explicit ElementIdsSet(std::map<ElementType, IndexSet> m) : sets(std::move(m)) {}
    // Every type of the lists gets an entry, also when its list is empty.
    explicit ElementIdsSet(const ElementIds& ids);

    // In place. Types missing from other are dropped; a type whose set becomes empty is dropped.
    void intersection(const ElementIdsSet& other);
    // In place. Only types present in both change; a type whose set becomes empty is dropped.
    void difference(const ElementIdsSet& other);

    friend bool operator==(const ElementIdsSet&, const ElementIdsSet&) = default;
};

}  // namespace zentrel
