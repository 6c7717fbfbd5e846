#include "zentrel/mesh/indirect_index.hpp"

#include <string>

namespace zentrel {

void IndirectIndex::push(std::span<const std::uint64_t> values) {
    if (data.ndim() != 1) data = ArrayU64();
    data.extend(values);
    std::uint64_t end = data.size();
    offsets.append_row(std::span<const std::uint64_t>(&end, 1));
}

std::pair<std::size_t, std::size_t> IndirectIndex::bounds(std::size_t i) const {
    if (i >= offsets.size())
        throw Error("item " + std::to_string(i) + " is out of bounds for an index of " +
                    std::to_string(offsets.size()) + " items");
    std::uint64_t begin = i == 0 ? 0 : offsets[i - 1];
    std::uint64_t end = offsets[i];
    if (begin > end || end > data.size())
        throw Error("invalid offsets: item " + std::to_string(i) + " spans [" + std::to_string(begin) + ", " +
                    std::to_string(end) + ") of " + std::to_string(data.size()) + " values");
    return {begin, end};
}

std::span<const std::uint64_t> IndirectIndex::item(std::size_t i) const {
    auto [b, e] = bounds(i);
    return {data.data() + b, e - b};
}

std::span<std::uint64_t> IndirectIndex::item_mut(std::size_t i) {
    auto [b, e] = bounds(i);
    return {data.data_mut() + b, e - b};
}

void IndirectIndex::validate() const {
    std::uint64_t prev = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        if (offsets[i] < prev)
            throw Error("invalid offsets: offset " + std::to_string(i) + " decreases");
        prev = offsets[i];
    }
    if (prev != data.size())
        throw Error("invalid offsets: the last offset " + std::to_string(prev) +
                    " does not equal the data length " + std::to_string(data.size()));
}

}  // namespace zentrel
