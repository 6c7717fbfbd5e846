#include <algorithm>
#include <limits>
#include <string>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

namespace {

// Rows of a row-major array at the given (checked) positions; a plain loop rather than a
// copy call per row, since rows are a few values wide.
template <class T>
NdArray<T> gather_rows(const NdArray<T>& a, std::span<const std::uint64_t> positions) {
    if (a.ndim() == 0) return a.take_rows(positions);
    Shape shape = a.shape();
    shape[0] = positions.size();
    const std::size_t w = a.row_size(), n = a.rows();
    for (std::uint64_t p : positions)
        if (p >= n)
            throw Error("index " + std::to_string(p) + " is out of bounds for an axis of length " + std::to_string(n));
    NdArray<T> out = NdArray<T>::uninit(std::move(shape));
    T* dst = out.data_mut();
    const T* src = a.data();
    for (std::uint64_t p : positions) {
        const T* row = src + p * w;
        for (std::size_t j = 0; j < w; ++j) dst[j] = row[j];
        dst += w;
    }
    return out;
}

}  // namespace

UMeshBase UMeshBase::extract(const ElementIds& ids, bool with_fields) const {
    UMeshBase out(coords);
    for (const auto& [t, list] : ids.ids) {
        const ElementBlockBase* b = find_block(t);
        if (!b) continue;
        if (!b->connectivity.is_regular()) throw Error("not yet implemented");
        std::size_t n = b->len();
        for (std::uint64_t i : list)
            if (i >= n)
                throw Error("element index " + std::to_string(i) + " is out of bounds for the " +
                            std::string(name_of(t)) + " block of " + std::to_string(n) + " elements");
        ArrayU64 conn = gather_rows(b->connectivity.regular_array(), list);
        std::optional<FieldMap> fields;
        if (with_fields) {
            fields.emplace();
            for (const auto& [name, values] : b->fields) fields->emplace(name, gather_rows(values, list));
        }
        out.element_blocks.emplace(t, ElementBlockBase::new_regular(t, std::move(conn), std::nullopt, std::move(fields)));
    }
    return out;
}

std::vector<std::uint64_t> UMeshBase::used_nodes() const {
    // A mark per coordinate row keeps this linear; numbers beyond the coordinates (possible in a
    // mesh built without checks) are gathered apart and merged in at the end.
    constexpr std::uint64_t kFaceSeparator = std::numeric_limits<std::uint64_t>::max();
    std::size_t n = num_nodes();
    std::vector<bool> seen(n, false);
    std::vector<std::uint64_t> beyond;
    for (const auto& [t, b] : element_blocks) {
        // A polyhedron's separators delimit its faces; they are not nodes.
        bool skip_separator = t == ElementType::PHED;
        auto visit = [&](std::span<const std::uint64_t> values) {
            for (std::uint64_t v : values) {
                if (v < n)
                    seen[v] = true;
                else if (!(skip_separator && v == kFaceSeparator))
                    beyond.push_back(v);
            }
        };
        if (b.connectivity.is_regular())
            visit(b.connectivity.regular_array().values());
        else
            for (std::size_t i = 0; i < b.len(); ++i) visit(b.connectivity.nodes(i));
    }
    std::vector<std::uint64_t> out;
    for (std::size_t v = 0; v < n; ++v)
        if (seen[v]) out.push_back(v);
    std::sort(beyond.begin(), beyond.end());
    beyond.erase(std::unique(beyond.begin(), beyond.end()), beyond.end());
    out.insert(out.end(), beyond.begin(), beyond.end());
    return out;
}

std::optional<UMeshBase> UMeshBase::update(UMeshBase other) {
    bool dims[4] = {false, false, false, false};
    for (const auto& [t, b] : other.element_blocks) dims[to_uint(dimension_of(t))] = true;
    std::optional<UMeshBase> removed;
    for (auto it = element_blocks.begin(); it != element_blocks.end();) {
        if (!dims[to_uint(dimension_of(it->first))]) {
            ++it;
            continue;
        }
        if (!removed) removed.emplace(coords);
        auto node = element_blocks.extract(it++);
        removed->element_blocks.insert(std::move(node));
    }
    for (auto& [t, b] : other.element_blocks) element_blocks.insert_or_assign(t, std::move(b));
    return removed;
}

}  // namespace zentrel
