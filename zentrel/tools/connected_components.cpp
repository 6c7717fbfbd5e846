#include "zentrel/tools/connected_components.hpp"

#include <algorithm>

#include "zentrel/tools/neighbours_csr.hpp"
#include "zentrel/tools/src_target_codim.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

namespace {

template <class Idx>
std::vector<ElementIds> components_of(const SubentityWalk& walk) {
    NeighbourCsr<Idx> g = build_neighbour_csr<Idx>(walk, nullptr);
    const std::uint64_t n = g.num_nodes();
    // One bit per element keeps the discovered set cache resident during the search.
    std::vector<std::uint64_t> discovered((n + 63) / 64, 0);
    auto seen = [&](Idx v) { return (discovered[v >> 6] >> (v & 63)) & 1; };
    std::vector<Idx> stack, order;
    order.reserve(n);
    // Component c is order[bounds[c] .. bounds[c+1]); components are found in walk order of
    // their first elements and reversed at the end.
    std::vector<std::uint64_t> bounds{0};
    for (std::uint64_t root = 0; root < n; ++root) {
        if (seen(static_cast<Idx>(root))) continue;
        stack.push_back(static_cast<Idx>(root));
        while (!stack.empty()) {
            Idx v = stack.back();
            stack.pop_back();
            if (seen(v)) continue;
            discovered[v >> 6] |= std::uint64_t{1} << (v & 63);
            for (Idx i = g.offsets[v]; i < g.offsets[v + 1]; ++i)
                if (!seen(g.adjacent[i])) stack.push_back(g.adjacent[i]);
            order.push_back(v);
        }
        bounds.push_back(order.size());
    }
    g = {};

    // Walk positions map to (type, index) by part; parts are contiguous ranges of positions.
    // Each piece's lists are sized before they are filled.
    const auto& parts = walk.parts();
    auto part_of = [&](std::uint64_t pos) -> const SubentityWalk::Part& {
        if (parts.size() == 1) return parts[0];
        auto it = std::upper_bound(parts.begin(), parts.end(), pos,
                                   [](std::uint64_t x, const SubentityWalk::Part& p) { return x < p.first_element; });
        return *(it - 1);
    };
    std::vector<ElementIds> out;
    out.reserve(bounds.size() - 1);
    std::vector<std::size_t> per_part(parts.size());
    std::vector<std::vector<std::uint64_t>*> lists;
    for (std::size_t c = bounds.size() - 1; c-- > 0;) {
        ElementIds ids;
        std::fill(per_part.begin(), per_part.end(), 0);
        for (std::uint64_t k = bounds[c]; k < bounds[c + 1]; ++k) ++per_part[&part_of(order[k]) - parts.data()];
        lists.assign(parts.size(), nullptr);
        for (std::size_t q = 0; q < parts.size(); ++q)
            if (per_part[q]) {
                lists[q] = &ids.ids[parts[q].element];
                lists[q]->reserve(per_part[q]);
            }
        for (std::uint64_t k = bounds[c]; k < bounds[c + 1]; ++k) {
            const SubentityWalk::Part& p = part_of(order[k]);
            lists[&p - parts.data()]->push_back(order[k] - p.first_element);
        }
        out.push_back(std::move(ids));
    }
    return out;
}

}  // namespace

std::vector<ElementIds> compute_connected_components(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                                     std::optional<Dimension> link_dim) {
    auto [src, link, codim] = compute_src_target_codim(mesh, src_dim, link_dim);
    SubentityWalk walk(mesh, src, codim);
    if (fits_u32(walk)) return components_of<std::uint32_t>(walk);
    return components_of<std::uint64_t>(walk);
}

std::vector<UMeshBase> connected_components(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                            std::optional<Dimension> link_dim, bool with_fields) {
    std::vector<ElementIds> pieces = compute_connected_components(mesh, src_dim, link_dim);
    std::vector<UMeshBase> out;
    out.reserve(pieces.size());
    for (const ElementIds& ids : pieces) out.push_back(mesh.extract(ids, with_fields));
    return out;
}

}  // namespace zentrel
