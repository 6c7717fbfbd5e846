#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "topology_fixtures.hpp"
#include "zentrel/tools/connected_components.hpp"
#include "zentrel/tools/neighbours_graph.hpp"

using namespace topo_test;
using ET = ElementType;
using D = Dimension;
using Ids = std::map<ET, std::vector<std::uint64_t>>;

namespace {

std::vector<Ids> pieces(const UMeshBase& m, std::optional<D> src = {}, std::optional<D> link = {}) {
    std::vector<Ids> out;
    for (const ElementIds& e : compute_connected_components(m, src, link)) out.push_back(e.ids);
    return out;
}

// Disjoint copies of a mesh side by side: node numbers shifted per copy.
UMeshBase copies(const UMeshBase& m, std::size_t k) {
    Blocks all;
    for (const auto& [t, rows] : blocks_of(m))
        for (std::size_t c = 0; c < k; ++c)
            for (auto r : rows) {
                for (auto& v : r) v += c * m.num_nodes();
                all[t].push_back(r);
            }
    return mesh_of(k * m.num_nodes(), all);
}

}  // namespace

TEST(Components, PiecesComeInReverseOrderOfTheirFirstElement) {
    UMeshBase m = mesh_of(7, {{ET::TRI3, {{0, 1, 2}, {2, 1, 3}, {4, 5, 6}}}});
    EXPECT_EQ(pieces(m), (std::vector<Ids>{{{ET::TRI3, {2}}}, {{ET::TRI3, {0, 1}}}}));
    // the lone triangle first in the walk: its piece is last
    UMeshBase m2 = mesh_of(7, {{ET::TRI3, {{4, 5, 6}, {0, 1, 2}, {2, 1, 3}}}});
    EXPECT_EQ(pieces(m2), (std::vector<Ids>{{{ET::TRI3, {1, 2}}}, {{ET::TRI3, {0}}}}));
}

TEST(Components, LinkDimension) {
    UMeshBase touching = mesh_of(5, {{ET::TRI3, {{0, 1, 2}, {2, 3, 4}}}});
    EXPECT_EQ(pieces(touching).size(), 2u);
    EXPECT_EQ(pieces(touching, {}, D::D0), (std::vector<Ids>{{{ET::TRI3, {0, 1}}}}));
    EXPECT_EQ(message_of([&] { pieces(touching, {}, D::D2); }),
              "It is not possible to ask for codim diff from D1 and D2 on TRI3");
    // only the source dimension takes part
    UMeshBase mixed = mesh_of(8, {{ET::TRI3, {{0, 1, 4}, {5, 6, 7}}}, {ET::TET4, {{0, 1, 2, 3}}}});
    EXPECT_EQ(pieces(mixed), (std::vector<Ids>{{{ET::TET4, {0}}}}));
    EXPECT_EQ(pieces(mixed, D::D2), (std::vector<Ids>{{{ET::TRI3, {1}}}, {{ET::TRI3, {0}}}}));
    EXPECT_TRUE(pieces(touching, D::D3).empty());
    // a triangle and a quadrangle sharing an edge form one piece with both types
    UMeshBase tq = mesh_of(5, {{ET::TRI3, {{0, 1, 2}}}, {ET::QUAD4, {{2, 1, 3, 4}}}});
    EXPECT_EQ(pieces(tq), (std::vector<Ids>{{{ET::TRI3, {0}}, {ET::QUAD4, {0}}}}));
}

TEST(Components, DepthFirstOrderWithinAPiece) {
    // 2 x 2 quadrangles: 0 touches 1 and 2, 3 touches 1 and 2. From 0, neighbours 1 then 2 are
    // pushed, 2 is popped first, then 3, then 1.
    EXPECT_EQ(pieces(grid(2, 2, 0)), (std::vector<Ids>{{{ET::QUAD4, {0, 2, 3, 1}}}}));
    // a chain walked from its first element even when that element is in the middle of it
    UMeshBase chain = mesh_of(5, {{ET::SEG2, {{2, 3}, {1, 2}, {3, 4}, {0, 1}}}});
    EXPECT_EQ(pieces(chain), (std::vector<Ids>{{{ET::SEG2, {0, 2, 1, 3}}}}));
}

TEST(Components, CountOfDisjointCopies) {
    for (std::size_t k : {1u, 2u, 5u}) {
        UMeshBase m = copies(grid(3, 2, 2), k);
        std::vector<Ids> p = pieces(m);
        ASSERT_EQ(p.size(), k);
        for (std::size_t c = 0; c < k; ++c) {
            // the copy whose elements come last in the walk is first
            const auto& ids = p[c].at(ET::HEX8);
            ASSERT_EQ(ids.size(), 12u);
            EXPECT_EQ(ids.front(), (k - 1 - c) * 12);
            EXPECT_EQ(*std::min_element(ids.begin(), ids.end()), ids.front());
        }
        EXPECT_EQ(pieces(m, {}, D::D0).size(), k);
    }
}

TEST(Components, MeshesCarryFieldsOnRequest) {
    UMeshBase m = mesh_of(7, {{ET::TRI3, {{0, 1, 2}, {4, 5, 6}, {2, 1, 3}}}});
    m.block_mut(ET::TRI3).fields["f"] = ArrayF64::from_values({3}, {10, 11, 12});
    m.block_mut(ET::TRI3).families = ArrayU64::from_values({3}, {4, 4, 4});
    std::vector<UMeshBase> with = connected_components(m, {}, {}, true);
    ASSERT_EQ(with.size(), 2u);
    EXPECT_EQ(with[0].block(ET::TRI3).fields.at("f"), ArrayF64::from_values({1}, {11}));
    EXPECT_EQ(with[1].block(ET::TRI3).fields.at("f"), ArrayF64::from_values({2}, {10, 12}));
    EXPECT_EQ(with[1].block(ET::TRI3).families, ArrayU64::filled({2}, 0));
    EXPECT_TRUE(with[1].coords.shares_storage_with(m.coords));
    for (const UMeshBase& piece : connected_components(m, {}, {}, false))
        EXPECT_TRUE(piece.block(ET::TRI3).fields.empty());
    UMeshBase pg = mesh_of(4, {{ET::PGON, {{0, 1, 2, 3}}}});
    EXPECT_EQ(pieces(pg).size(), 1u);
    EXPECT_EQ(message_of([&] { connected_components(pg, {}, {}, true); }), "not yet implemented");
}

TEST(Components, MembershipMatchesUnionFindOnRandomMeshes) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 30; ++round) {
        std::uint64_t nodes = 6 + rng() % 30;
        Blocks blocks;
        for (ET t : {ET::TRI3, ET::QUAD4, ET::PGON}) {
            std::size_t n = rng() % 10;
            for (std::size_t i = 0; i < n; ++i) {
                std::vector<std::uint64_t> r(t == ET::PGON ? 1 + rng() % 5 : *num_nodes(t));
                for (auto& v : r) v = rng() % nodes;
                blocks[t].push_back(r);
            }
        }
        UMeshBase m = mesh_of(nodes, blocks);
        if (m.element_blocks.empty()) continue;
        for (D link : {D::D0, D::D1}) {
            // walk positions, union-find over shared sorted sub-entity keys
            std::vector<ElementId> ids;
            std::map<std::vector<std::uint64_t>, std::vector<std::size_t>> owners;
            for (const auto& [t, b] : m.element_blocks)
                for (std::size_t i = 0; i < b.len(); ++i) {
                    for (const auto& [st, c] : ElementTopo::subentities(t, b.connectivity.nodes(i),
                                                                        dimension_from_uint(2 - to_uint(link))))
                        for (std::size_t k = 0; k < c.len(); ++k) owners[sorted(c.nodes(k))].push_back(ids.size());
                    ids.emplace_back(t, i);
                }
            std::vector<std::size_t> parent(ids.size());
            std::iota(parent.begin(), parent.end(), 0);
            auto find = [&](std::size_t x) {
                while (parent[x] != x) x = parent[x] = parent[parent[x]];
                return x;
            };
            for (const auto& [k, o] : owners)
                for (std::size_t j : o) parent[find(j)] = find(o[0]);
            std::map<std::size_t, std::vector<ElementId>> expected;  // root -> members by walk
            for (std::size_t i = 0; i < ids.size(); ++i) expected[find(i)].push_back(ids[i]);

            std::vector<ElementIds> got = compute_connected_components(m, D::D2, link);
            ASSERT_EQ(got.size(), expected.size());
            std::vector<std::vector<ElementId>> want;
            for (auto& [r, members] : expected) want.push_back(members);
            std::sort(want.begin(), want.end(), [](auto& a, auto& b) { return a.front() > b.front(); });
            for (std::size_t c = 0; c < got.size(); ++c) {
                std::vector<ElementId> members;
                for (const auto& [t, list] : got[c].ids)
                    for (auto i : list) members.emplace_back(t, i);
                std::sort(members.begin(), members.end());
                EXPECT_EQ(members, want[c]);
                // the first element of the piece in the walk starts the search
                const auto& first = *got[c].ids.begin();
                EXPECT_EQ(ElementId(first.first, first.second.front()), want[c].front());
            }
        }
    }
}

TEST(NeighboursGraph, NodesEdgesKeysAndRemoval) {
    UMeshBase two = grid(2, 1, 1);
    NeighboursGraph g = compute_neighbours_graph(two, {}, D::D0);
    ASSERT_EQ(g.num_nodes(), 2u);
    // the two hexahedra share four nodes but are linked once
    EXPECT_EQ(g.num_edges(), 1u);
    ASSERT_EQ(g.adjacent(0).size(), 1u);
    SortedVecKey key = g.edge_key(g.adjacent(0)[0].edge);
    ASSERT_EQ(key.size(), 1u);
    const std::vector<std::uint64_t> shared = {1, 4, 7, 10};
    EXPECT_TRUE(std::count(shared.begin(), shared.end(), key.values()[0]));

    UMeshBase m = mesh_of(8, {{ET::TRI3, {{0, 1, 2}, {7, 6, 5}, {2, 1, 3}, {1, 4, 3}}}});
    NeighboursGraph t = compute_neighbours_graph(m, {}, {});
    EXPECT_EQ(t.nodes(), (std::vector<ElementId>{{ET::TRI3, 0}, {ET::TRI3, 1}, {ET::TRI3, 2}, {ET::TRI3, 3}}));
    EXPECT_EQ(t.neighbours({ET::TRI3, 2}), (std::vector<ElementId>{{ET::TRI3, 0}, {ET::TRI3, 3}}));
    EXPECT_TRUE(t.neighbours({ET::TRI3, 1}).empty());
    EXPECT_EQ(t.edge_key(t.adjacent(0)[0].edge), SortedVecKey({1, 2}));
    EXPECT_TRUE(t.remove_edge({ET::TRI3, 2}, {ET::TRI3, 0}));
    EXPECT_FALSE(t.remove_edge({ET::TRI3, 0}, {ET::TRI3, 2}));
    EXPECT_EQ(t.neighbours({ET::TRI3, 2}), (std::vector<ElementId>{{ET::TRI3, 3}}));
    EXPECT_TRUE(t.neighbours({ET::TRI3, 0}).empty());
    EXPECT_EQ(t.num_edges(), 1u);
    EXPECT_FALSE(t.node_index({ET::QUAD4, 0}));
    EXPECT_FALSE(t.node_index({ET::TRI3, 4}));
}

TEST(Components, SameResultWhateverTheNodeNumbering) {
    UMeshBase g = copies(grid(2, 2, 1), 3);
    Blocks big_blocks;
    for (const auto& [t, rows] : blocks_of(g))
        for (auto r : rows) {
            for (auto& v : r) v = (v << 40) + 3;
            big_blocks[t].push_back(r);
        }
    UMeshBase big = mesh_of(g.num_nodes(), big_blocks);
    for (std::optional<D> link : {std::optional<D>{}, std::optional<D>{D::D0}, std::optional<D>{D::D1}})
        EXPECT_EQ(pieces(big, {}, link), pieces(g, {}, link));
}
