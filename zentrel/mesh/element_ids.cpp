#include "zentrel/mesh/element_ids.hpp"

#include <algorithm>

namespace zentrel {

IndexSet IndexSet::from_values(std::span<const std::uint64_t> values) {
    IndexSet s;
    s.values_.assign(values.begin(), values.end());
    std::sort(s.values_.begin(), s.values_.end());
    s.values_.erase(std::unique(s.values_.begin(), s.values_.end()), s.values_.end());
    return s;
}

IndexSet IndexSet::from_sorted(std::vector<std::uint64_t> values) {
    IndexSet s;
    s.values_ = std::move(values);
    if (std::adjacent_find(s.values_.begin(), s.values_.end(), std::greater_equal<>()) != s.values_.end()) {
        std::sort(s.values_.begin(), s.values_.end());
        s.values_.erase(std::unique(s.values_.begin(), s.values_.end()), s.values_.end());
    }
    return s;
}

bool IndexSet::contains(std::uint64_t i) const { return std::binary_search(values_.begin(), values_.end(), i); }

void IndexSet::retain(const IndexSet& other) {
    auto out = values_.begin();
    auto b = other.values_.begin();
    for (auto a = values_.begin(); a != values_.end(); ++a) {
        while (b != other.values_.end() && *b < *a) ++b;
        if (b != other.values_.end() && *b == *a) *out++ = *a;
    }
    values_.erase(out, values_.end());
}

void IndexSet::remove(const IndexSet& other) {
    auto out = values_.begin();
    auto b = other.values_.begin();
    for (auto a = values_.begin(); a != values_.end(); ++a) {
        while (b != other.values_.end() && *b < *a) ++b;
        if (b == other.values_.end() || *b != *a) *out++ = *a;
    }
    values_.erase(out, values_.end());
}

ElementIds::ElementIds(const ElementIdsSet& set) {
    for (const auto& [t, s] : set.sets) ids.emplace(t, std::vector<std::uint64_t>(s.values().begin(), s.values().end()));
}

ElementIdsSet::ElementIdsSet(const ElementIds& ids) {
    for (const auto& [t, list] : ids.ids) sets.emplace(t, IndexSet::from_values(list));
}

void ElementIdsSet::intersection(const ElementIdsSet& other) {
    for (auto it = sets.begin(); it != sets.end();) {
        auto o = other.sets.find(it->first);
        if (o != other.sets.end()) it->second.retain(o->second);
        if (o == other.sets.end() || it->second.empty())
            it = sets.erase(it);
        else
            ++it;
    }
}

void ElementIdsSet::difference(const ElementIdsSet& other) {
    for (const auto& [t, s] : other.sets) {
        auto it = sets.find(t);
        if (it == sets.end()) continue;
        it->second.remove(s);
        if (it->second.empty()) sets.erase(it);
    }
}

}  // namespace zentrel
