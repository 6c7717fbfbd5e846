#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>

#include "topology_fixtures.hpp"
#include "zentrel/tools/boundaries.hpp"
#include "zentrel/tools/descending.hpp"
#include "zentrel/tools/src_target_codim.hpp"

using namespace topo_test;
using ET = ElementType;
using D = Dimension;
using OD = std::optional<Dimension>;

namespace {

constexpr std::uint64_t S = kFaceSeparator;

std::size_t count_of(const UMeshBase& m, ET t) {
    const ElementBlockBase* b = m.find_block(t);
    return b ? b->len() : 0;
}

std::set<std::vector<std::uint64_t>> key_set(const UMeshBase& m) {
    std::set<std::vector<std::uint64_t>> keys;
    for (const auto& [t, rows] : blocks_of(m))
        for (const auto& r : rows) keys.insert(sorted(r));
    return keys;
}

}  // namespace

TEST(SrcTargetCodim, Resolution) {
    UMeshBase tri_tet = mesh_of(5, {{ET::TRI3, {{0, 1, 2}}}, {ET::TET4, {{0, 1, 2, 3}}}});
    using T = std::tuple<D, D, D>;
    EXPECT_EQ(compute_src_target_codim(tri_tet, {}, {}), (T{D::D3, D::D2, D::D1}));
    EXPECT_EQ(compute_src_target_codim(tri_tet, D::D2, {}), (T{D::D2, D::D1, D::D1}));
    EXPECT_EQ(compute_src_target_codim(tri_tet, {}, D::D0), (T{D::D3, D::D0, D::D3}));
    EXPECT_EQ(compute_src_target_codim(tri_tet, D::D2, D::D2), (T{D::D2, D::D2, D::D0}));
    const std::string dim = "i is higher than 3, could not convert into a dimension";
    EXPECT_EQ(message_of([&] { compute_src_target_codim(tri_tet, D::D0, {}); }), dim);
    EXPECT_EQ(message_of([&] { compute_src_target_codim(tri_tet, D::D1, D::D2); }), dim);
    EXPECT_EQ(message_of([&] { compute_src_target_codim(mesh_of(1, {{ET::VERTEX, {{0}}}}), {}, {}); }), dim);
    EXPECT_THROW(compute_src_target_codim(mesh_of(0, {}), {}, {}), Error);
}

TEST(Descending, TwoTrianglesKeepFirstOrientation) {
    UMeshBase m = mesh_of(4, {{ET::TRI3, {{0, 1, 2}, {2, 1, 3}}}});
    UMeshBase d = compute_descending(m, {}, {});
    EXPECT_EQ(blocks_of(d), (Blocks{{ET::SEG2, {{0, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 2}}}}));
    EXPECT_TRUE(d.coords.shares_storage_with(m.coords));
    EXPECT_EQ(d.block(ET::SEG2).families, ArrayU64::filled({5}, 0));
    UMeshBase b = compute_submesh_with_n_neighbours(m, {}, {});
    EXPECT_EQ(blocks_of(b), (Blocks{{ET::SEG2, {{0, 1}, {2, 0}, {1, 3}, {3, 2}}}}));
}

TEST(Descending, CountsOnHexahedra) {
    UMeshBase one = grid(1, 1, 1);
    struct Case {
        OD src, target;
        ET type;
        std::size_t descending, boundary;
    };
    const Case cases[] = {
        {{}, {}, ET::QUAD4, 6, 6}, {D::D3, D::D1, ET::SEG2, 12, 12}, {D::D3, D::D0, ET::VERTEX, 8, 8}};
    for (const Case& c : cases) {
        EXPECT_EQ(count_of(compute_descending(one, c.src, c.target), c.type), c.descending);
        EXPECT_EQ(count_of(compute_submesh_with_n_neighbours(one, c.src, c.target), c.type), c.boundary);
    }
    EXPECT_EQ(blocks_of(compute_descending(one, {}, {})), blocks_of(compute_submesh_with_n_neighbours(one, {}, {})));
    UMeshBase two = grid(2, 1, 1);
    EXPECT_EQ(count_of(compute_descending(two, {}, {}), ET::QUAD4), 11u);
    EXPECT_EQ(count_of(compute_submesh_with_n_neighbours(two, {}, {}), ET::QUAD4), 10u);
    // edges touched by one hexahedron only: 20 of the 20 + (4 shared)
    EXPECT_EQ(count_of(compute_submesh_with_n_neighbours(two, D::D3, D::D1), ET::SEG2), 16u);
}

TEST(Descending, SourceDimensionSelectsBlocks) {
    UMeshBase m = mesh_of(5, {{ET::TRI3, {{0, 1, 4}}}, {ET::TET4, {{0, 1, 2, 3}}}});
    EXPECT_EQ(blocks_of(compute_descending(m, {}, {})),
              (Blocks{{ET::TRI3, {{0, 1, 2}, {1, 2, 3}, {2, 3, 0}, {3, 0, 1}}}}));
    EXPECT_EQ(blocks_of(compute_descending(m, D::D2, {})), (Blocks{{ET::SEG2, {{0, 1}, {1, 4}, {4, 0}}}}));
    // nothing of dimension 2 to visit: empty result, no error
    UMeshBase tets = mesh_of(4, {{ET::TET4, {{0, 1, 2, 3}}}});
    UMeshBase empty = compute_descending(tets, D::D2, D::D2);
    EXPECT_TRUE(empty.element_blocks.empty());
    EXPECT_EQ(empty.num_nodes(), 4u);
    EXPECT_EQ(message_of([&] { compute_descending(m, D::D2, D::D2); }),
              "It is not possible to ask for codim diff from D1 and D2 on TRI3");
    // an empty block of an unsupported type is never asked anything
    UMeshBase with_empty = mesh_of(4, {{ET::TRI3, {{0, 1, 2}}}, {ET::QUAD8, {}}});
    EXPECT_EQ(count_of(compute_descending(with_empty, {}, {}), ET::SEG2), 3u);
    UMeshBase quad8 = mesh_of(8, {{ET::QUAD8, {{0, 1, 2, 3, 4, 5, 6, 7}}}});
    EXPECT_EQ(message_of([&] { compute_submesh_with_n_neighbours(quad8, {}, {}); }), "not yet implemented");
}

TEST(Descending, MixedTypesShareSubentities) {
    // a triangle and a quadrangle sharing the edge {1, 2}; a TRI6 adds SEG3 edges
    UMeshBase m = mesh_of(12, {{ET::TRI3, {{0, 1, 2}}}, {ET::QUAD4, {{2, 1, 3, 4}}}, {ET::TRI6, {{5, 6, 7, 8, 9, 10}}}});
    EXPECT_EQ(blocks_of(compute_descending(m, {}, {})),
              (Blocks{{ET::SEG2, {{0, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 4}, {4, 2}}},
                      {ET::SEG3, {{5, 6, 8}, {6, 7, 9}, {7, 5, 10}}}}));
    EXPECT_EQ(count_of(compute_submesh_with_n_neighbours(m, {}, {}), ET::SEG2), 5u);
}

TEST(Descending, PolygonsAndPolyhedra) {
    // two unit cubes as polyhedra sharing the face {1, 2, 6, 5}
    Rows cubes = {{0, 1, 2, 3, S, 4, 5, 6, 7, S, 0, 1, 5, 4, S, 1, 2, 6, 5, S, 2, 3, 7, 6, S, 3, 0, 4, 7, S},
                  {1, 8, 9, 2, S, 5, 10, 11, 6, S, 1, 8, 10, 5, S, 8, 9, 11, 10, S, 9, 2, 6, 11, S, 2, 1, 5, 6, S}};
    UMeshBase ph = mesh_of(12, {{ET::PHED, cubes}});
    UMeshBase d = compute_descending(ph, {}, {});
    ASSERT_TRUE(d.block(ET::PGON).connectivity.is_poly());
    EXPECT_EQ(count_of(d, ET::PGON), 11u);
    EXPECT_EQ(blocks_of(d).at(ET::PGON)[3], (std::vector<std::uint64_t>{1, 2, 6, 5}));
    d.block(ET::PGON).connectivity.indirect().validate();
    EXPECT_EQ(count_of(compute_submesh_with_n_neighbours(ph, {}, {}), ET::PGON), 10u);
    EXPECT_EQ(message_of([&] { compute_descending(ph, D::D3, D::D1); }), "not yet implemented");

    // a two-node polygon has the same edge twice: one distinct edge, owned twice, no boundary
    UMeshBase pg = mesh_of(8, {{ET::PGON, {{0, 1, 2, 3, 4}, {4, 3, 5}, {7, 6}}}});
    EXPECT_EQ(blocks_of(compute_descending(pg, {}, {})),
              (Blocks{{ET::SEG2, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 0}, {3, 5}, {5, 4}, {7, 6}}}}));
    EXPECT_EQ(blocks_of(compute_submesh_with_n_neighbours(pg, {}, {})),
              (Blocks{{ET::SEG2, {{0, 1}, {1, 2}, {2, 3}, {4, 0}, {3, 5}, {5, 4}}}}));
    EXPECT_EQ(count_of(compute_descending(pg, D::D2, D::D0), ET::VERTEX), 8u);
}

TEST(Descending, BadInputFailsBeforeReading) {
    struct Case {
        UMeshBase mesh;
        std::string message;  // expected prefix
    };
    UMeshBase bad_offsets = mesh_of(4, {});
    bad_offsets.add_poly_block(ET::PGON, ArrayU64::from_values({3}, {0, 1, 2}), ArrayU64::from_values({2}, {2, 9}));
    UMeshBase short_rows(ArrayF64::filled({6, 2}, 0.0));
    short_rows.add_regular_block(ET::TRI6, ArrayU64::from_values({1, 3}, {0, 1, 2}));
    Case cases[] = {
        {mesh_of(4, {{ET::PGON, {{0, 1, 2}, {}}}}), "index out of range"},
        {std::move(short_rows), "index out of range"},
        {std::move(bad_offsets), "invalid offsets"},
    };
    for (const Case& c : cases) {
        for (auto* f : {&compute_descending, &compute_submesh_with_n_neighbours}) {
            std::string m = message_of([&] { f(c.mesh, {}, {}); });
            EXPECT_EQ(m.rfind(c.message, 0), 0u) << m;
        }
    }
    // a polyhedron without a final separator loses its last node; two separators make an empty face
    UMeshBase ph = mesh_of(8, {{ET::PHED, {{0, 1, 2, S, 3, 4, 5}, {S, S, 6, 7}}}});
    EXPECT_EQ(blocks_of(compute_descending(ph, {}, {})), (Blocks{{ET::PGON, {{0, 1, 2}, {3, 4}, {}, {6}}}}));
    EXPECT_EQ(blocks_of(compute_submesh_with_n_neighbours(ph, {}, {})), (Blocks{{ET::PGON, {{0, 1, 2}, {3, 4}, {6}}}}));
}

TEST(Descending, MatchesModelOnRandomMeshes) {
    std::mt19937_64 rng(7);
    const ET types[] = {ET::SEG2, ET::TRI3, ET::QUAD4, ET::TRI6, ET::PGON, ET::TET4, ET::HEX8};
    for (int round = 0; round < 40; ++round) {
        // few nodes so that sub-entities collide often; sometimes huge node numbers
        std::uint64_t nodes = 3 + rng() % 12;
        std::uint64_t scale = round % 3 == 0 ? (std::uint64_t{1} << 60) : 1;
        Blocks blocks;
        for (ET t : types) {
            if (rng() % 2) continue;
            std::size_t n = rng() % 8;
            for (std::size_t i = 0; i < n; ++i) {
                std::size_t w = t == ET::PGON ? 1 + rng() % 6 : *num_nodes(t);
                std::vector<std::uint64_t> r(w);
                for (auto& v : r) v = (rng() % nodes) * scale + (scale > 1 ? 5 : 0);
                blocks[t].push_back(r);
            }
        }
        UMeshBase m = mesh_of(nodes, blocks);
        if (m.element_blocks.empty()) continue;
        for (std::uint64_t s = 1; s <= 3; ++s)
            for (std::uint64_t c = 1; c <= s; ++c) {
                SCOPED_TRACE("round " + std::to_string(round) + " src " + std::to_string(s) + " codim " + std::to_string(c));
                D src = dimension_from_uint(s), target = dimension_from_uint(s - c);
                Model expected = model(m, src, dimension_from_uint(c));
                EXPECT_EQ(blocks_of(compute_descending(m, src, target)), expected.descending);
                EXPECT_EQ(blocks_of(compute_submesh_with_n_neighbours(m, src, target)), expected.boundary);
            }
    }
}

TEST(Descending, HexGridInvariants) {
    const std::size_t sizes[][3] = {{1, 1, 1}, {3, 2, 1}, {4, 5, 6}};
    for (const auto& n : sizes) {
        const std::size_t nx = n[0], ny = n[1], nz = n[2];
        UMeshBase g = grid(nx, ny, nz);
        UMeshBase b = compute_submesh_with_n_neighbours(g, {}, {});
        EXPECT_EQ(count_of(b, ET::QUAD4), 2 * (nx * ny + ny * nz + nz * nx));
        // boundary nodes are exactly the surface nodes of the grid
        std::vector<std::uint64_t> surface;
        for (std::uint64_t k = 0; k <= nz; ++k)
            for (std::uint64_t j = 0; j <= ny; ++j)
                for (std::uint64_t i = 0; i <= nx; ++i)
                    if (i == 0 || j == 0 || k == 0 || i == nx || j == ny || k == nz)
                        surface.push_back(i + (nx + 1) * (j + (ny + 1) * k));
        EXPECT_EQ(b.used_nodes(), surface);
        // the boundary of a closed boundary is empty
        EXPECT_TRUE(compute_submesh_with_n_neighbours(b, {}, {}).element_blocks.empty());
        UMeshBase d = compute_descending(g, {}, {});
        EXPECT_EQ(count_of(d, ET::QUAD4), (nx + 1) * ny * nz + nx * (ny + 1) * nz + nx * ny * (nz + 1));
        // the distinct key set does not depend on the element order
        std::vector<std::uint64_t> perm(g.block(ET::HEX8).len());
        std::iota(perm.begin(), perm.end(), 0);
        std::shuffle(perm.begin(), perm.end(), std::mt19937_64(nx));
        UMeshBase shuffled = g.extract(ElementIds({{ET::HEX8, perm}}), false);
        EXPECT_EQ(key_set(compute_descending(shuffled, {}, {})), key_set(d));
        EXPECT_EQ(key_set(compute_descending(shuffled, D::D3, D::D1)), key_set(compute_descending(g, D::D3, D::D1)));
        EXPECT_EQ(key_set(compute_submesh_with_n_neighbours(shuffled, {}, {})), key_set(b));
    }
}

TEST(Descending, SameResultWhateverTheNodeNumbering) {
    // Small numbers take the packed-key path, numbers far beyond the coordinates the general
    // one (including mixed key widths); both must give the same sub-entities in the same order.
    UMeshBase g = grid(3, 2, 2);
    Blocks big_blocks;
    auto renumber = [](std::uint64_t v) { return (v << 40) + 7; };
    for (const auto& [t, rows] : blocks_of(g))
        for (auto r : rows) {
            for (auto& v : r) v = renumber(v);
            big_blocks[t].push_back(r);
        }
    UMeshBase big = mesh_of(g.num_nodes(), big_blocks);
    auto renumbered = [&](Blocks b) {
        for (auto& [t, rows] : b)
            for (auto& r : rows)
                for (auto& v : r) v = renumber(v);
        return b;
    };
    for (std::uint64_t target = 0; target < 3; ++target) {
        D t = dimension_from_uint(target);
        EXPECT_EQ(blocks_of(compute_descending(big, {}, t)), renumbered(blocks_of(compute_descending(g, {}, t))));
        EXPECT_EQ(blocks_of(compute_submesh_with_n_neighbours(big, {}, t)),
                  renumbered(blocks_of(compute_submesh_with_n_neighbours(g, {}, t))));
    }
    // a surface mixing SEG3 and SEG2 edges cannot pack: same answer as the model
    UMeshBase mixed = mesh_of(9, {{ET::TRI3, {{0, 1, 2}, {2, 1, 3}}}, {ET::TRI6, {{3, 1, 4, 5, 6, 7}}}});
    Model m = model(mixed, D::D2, D::D1);
    EXPECT_EQ(blocks_of(compute_descending(mixed, {}, {})), m.descending);
    EXPECT_EQ(blocks_of(compute_submesh_with_n_neighbours(mixed, {}, {})), m.boundary);
}
