#include <algorithm>
#include <limits>
#include <string>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

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
        ArrayU64 conn = b->connectivity.regular_array().take_rows(list);
        std::optional<FieldMap> fields;
        if (with_fields) {
            fields.emplace();
            for (const auto& [name, values] : b->fields) fields->emplace(name, values.take_rows(list));
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
