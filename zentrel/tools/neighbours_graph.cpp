#include "zentrel/tools/neighbours_graph.hpp"

#include <algorithm>

#include "zentrel/tools/neighbours_csr.hpp"
#include "zentrel/tools/src_target_codim.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

std::optional<std::size_t> NeighboursGraph::node_index(ElementId id) const {
    for (const auto& [t, start] : type_starts_) {
        if (t != id.type) continue;
        std::uint64_t i = start + id.index;
        if (i < nodes_.size() && nodes_[i] == id) return i;
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<ElementId> NeighboursGraph::neighbours(ElementId id) const {
    std::vector<ElementId> out;
    if (auto v = node_index(id)) for_each_neighbour(*v, [&](std::uint64_t w) { out.push_back(nodes_[w]); });
    return out;
}

SortedVecKey NeighboursGraph::edge_key(std::uint64_t edge) const {
    std::uint64_t g = key_of_edge_.at(edge);
    std::uint64_t b = g == 0 ? 0 : key_end_[g - 1];
    // Stored already sorted.
    return SortedVecKey(std::span<const std::uint64_t>(key_data_.data() + b, key_end_[g] - b));
}

bool NeighboursGraph::remove_edge(ElementId a, ElementId b) {
    auto va = node_index(a), vb = node_index(b);
    if (!va || !vb) return false;
    for (const Adjacent& x : adjacent(*va))
        if (x.node == *vb && !removed(x.edge)) {
            if (removed_.size() < key_of_edge_.size()) removed_.resize(key_of_edge_.size(), false);
            removed_[x.edge] = true;
            --num_edges_;
            return true;
        }
    return false;
}

NeighboursGraph compute_neighbours_graph(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                         std::optional<Dimension> link_dim) {
    auto [src, link, codim] = compute_src_target_codim(mesh, src_dim, link_dim);
    SubentityWalk walk(mesh, src, codim);
    EdgeKeys keys;
    NeighbourCsr<std::uint64_t> csr = build_neighbour_csr<std::uint64_t>(walk, &keys);

    NeighboursGraph g;
    g.nodes_.reserve(walk.num_elements());
    for (const SubentityWalk::Part& p : walk.parts()) {
        g.type_starts_.emplace_back(p.element, p.first_element);
        for (std::uint64_t e = 0; e < p.num_elements; ++e) g.nodes_.emplace_back(p.element, e);
    }
    g.offsets_.assign(csr.offsets.data(), csr.offsets.data() + csr.num_nodes() + 1);
    g.adjacent_.resize(csr.num_entries());
    for (std::size_t i = 0; i < g.adjacent_.size(); ++i) g.adjacent_[i] = {csr.adjacent[i], csr.edge[i]};
    g.num_edges_ = g.adjacent_.size() / 2;
    g.key_of_edge_ = std::move(keys.key_of_edge);
    g.key_end_ = std::move(keys.key_end);
    g.key_data_ = std::move(keys.key_data);
    return g;
}

}  // namespace zentrel
