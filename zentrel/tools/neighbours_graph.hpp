#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "zentrel/element_traits/sorted_vec_key.hpp"
#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// Elements of one dimension (graph nodes, in walk order), linked when they share a sub-entity
// of the link dimension. At most one edge per pair, carrying a shared sub-entity's key. Node
// neighbours are listed in walk order. Edges can be removed (the crack cuts the graph).
class NeighboursGraph {
public:
    struct Adjacent {
        std::uint64_t node;
        std::uint64_t edge;
    };

    NeighboursGraph() = default;

    std::size_t num_nodes() const { return nodes_.size(); }
    const std::vector<ElementId>& nodes() const { return nodes_; }
    std::optional<std::size_t> node_index(ElementId id) const;
    std::size_t num_edges() const { return num_edges_; }

    // Incident entries of a node, removed edges included; see removed().
    std::span<const Adjacent> adjacent(std::size_t node) const {
        return {adjacent_.data() + offsets_[node], offsets_[node + 1] - offsets_[node]};
    }
    bool removed(std::uint64_t edge) const { return edge < removed_.size() && removed_[edge]; }
    template <class F>
    void for_each_neighbour(std::size_t node, F&& f) const {
        for (const Adjacent& a : adjacent(node))
            if (!removed(a.edge)) f(a.node);
    }
    std::vector<ElementId> neighbours(ElementId id) const;

    SortedVecKey edge_key(std::uint64_t edge) const;
    // Removes the edge between two elements, if there is one; returns whether there was.
    bool remove_edge(ElementId a, ElementId b);

private:
    friend NeighboursGraph compute_neighbours_graph(const UMeshBase&, std::optional<Dimension>, std::optional<Dimension>);

    std::vector<ElementId> nodes_;
    // first node index of each element type's block, for node_index
    std::vector<std::pair<ElementType, std::uint64_t>> type_starts_;
    std::vector<std::uint64_t> offsets_;
    std::vector<Adjacent> adjacent_;
    std::vector<std::uint64_t> key_of_edge_, key_end_, key_data_;
    std::vector<bool> removed_;
    std::size_t num_edges_ = 0;
};

// The graph of the elements of dimension src (default: the highest present) linked through
// sub-entities of dimension link (default: src - 1). Fails like compute_src_target_codim and
// like the sub-entity tables.
NeighboursGraph compute_neighbours_graph(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                         std::optional<Dimension> link_dim);

}  // namespace zentrel
