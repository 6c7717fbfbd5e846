#include <gtest/gtest.h>

#include "zentrel/mesh/element_ids.hpp"
#include "zentrel/mesh/umesh.hpp"

using namespace zentrel;
using ET = ElementType;

namespace {

ArrayU64 rows(std::size_t width, std::initializer_list<std::uint64_t> v) {
    return ArrayU64::from_values({v.size() / width, width}, v);
}

UMeshBase nodes_mesh(std::size_t n) { return UMeshBase(ArrayF64::filled({n, 2}, 0.0)); }

ElementIdsSet set_of(std::map<ET, std::vector<std::uint64_t>> m) { return ElementIdsSet(ElementIds(std::move(m))); }

std::vector<std::uint64_t> values(const IndexSet& s) { return {s.values().begin(), s.values().end()}; }

}  // namespace

TEST(ElementIds, ListToSetCollapsesRepetitionsAndKeepsEmptyTypes) {
    ElementIdsSet s = set_of({{ET::TRI3, {2, 0, 2}}, {ET::QUAD4, {}}});
    ASSERT_EQ(s.sets.size(), 2u);
    EXPECT_EQ(values(s.sets.at(ET::TRI3)), (std::vector<std::uint64_t>{0, 2}));
    EXPECT_TRUE(s.sets.at(ET::QUAD4).empty());
    EXPECT_EQ(ElementIds(s).ids.at(ET::TRI3), (std::vector<std::uint64_t>{0, 2}));
}

TEST(ElementIds, IntersectionAndDifference) {
    struct Case {
        std::map<ET, std::vector<std::uint64_t>> a, b, intersection, difference;
    };
    const Case cases[] = {
        {{{ET::TRI3, {0, 1}}, {ET::QUAD4, {3}}}, {{ET::TRI3, {1, 5}}}, {{ET::TRI3, {1}}}, {{ET::TRI3, {0}}, {ET::QUAD4, {3}}}},
        {{{ET::TRI3, {0}}}, {{ET::TRI3, {1}}}, {}, {{ET::TRI3, {0}}}},
        {{{ET::TRI3, {0}}}, {{ET::TRI3, {0}}}, {{ET::TRI3, {0}}}, {}},
        // types only in the other operand are never added
        {{{ET::TRI3, {4}}}, {{ET::SEG2, {4}}}, {}, {{ET::TRI3, {4}}}},
        // an empty set present in both is dropped by either operation
        {{{ET::TRI3, {}}, {ET::SEG2, {}}}, {{ET::TRI3, {}}}, {}, {{ET::SEG2, {}}}},
    };
    for (const Case& c : cases) {
        ElementIdsSet i = set_of(c.a);
        i.intersection(set_of(c.b));
        EXPECT_EQ(i, set_of(c.intersection));
        ElementIdsSet d = set_of(c.a);
        d.difference(set_of(c.b));
        EXPECT_EQ(d, set_of(c.difference));
    }
}

TEST(Extract, RowsFieldsAndFamiliesInListOrder) {
    UMeshBase m = nodes_mesh(6);
    m.add_regular_block(ET::TRI3, rows(3, {0, 1, 2, 1, 2, 3, 3, 4, 5}),
                        FieldMap{{"f", ArrayF64::from_values({3, 2}, {0, 1, 10, 11, 20, 21})}});
    m.block_mut(ET::TRI3).families = ArrayU64::from_values({3}, {7, 8, 9});
    m.block_mut(ET::TRI3).groups["g"] = {7};
    m.add_regular_block(ET::SEG2, rows(2, {0, 5}));

    UMeshBase e = m.extract(ElementIds({{ET::TRI3, {2, 0}}, {ET::HEX8, {0}}}), true);
    EXPECT_TRUE(e.coords.shares_storage_with(m.coords));
    EXPECT_EQ(e.num_nodes(), 6u);
    ASSERT_EQ(e.element_blocks.size(), 1u);
    const ElementBlockBase& b = e.block(ET::TRI3);
    EXPECT_EQ(b.connectivity.regular_array(), rows(3, {3, 4, 5, 0, 1, 2}));
    EXPECT_EQ(b.families, ArrayU64::from_values({2}, {0, 0}));
    EXPECT_TRUE(b.groups.empty());
    EXPECT_EQ(b.fields.at("f"), ArrayF64::from_values({2, 2}, {20, 21, 0, 1}));

    UMeshBase nf = m.extract(ElementIds({{ET::TRI3, {1, 1}}, {ET::SEG2, {}}}), false);
    EXPECT_EQ(nf.block(ET::TRI3).connectivity.regular_array(), rows(3, {1, 2, 3, 1, 2, 3}));
    EXPECT_TRUE(nf.block(ET::TRI3).fields.empty());
    EXPECT_EQ(nf.block(ET::SEG2).len(), 0u);
}

TEST(Extract, FailuresLeaveNoResult) {
    UMeshBase m = nodes_mesh(4);
    m.add_regular_block(ET::TRI3, rows(3, {0, 1, 2}));
    m.add_poly_block(ET::PGON, ArrayU64::from_values({4}, {0, 1, 2, 3}), ArrayU64::from_values({1}, {4}));
    const UMeshBase before = m;
    EXPECT_THROW(m.extract(ElementIds({{ET::TRI3, {1}}}), true), Error);
    try {
        m.extract(ElementIds({{ET::PGON, {0}}}), true);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "not yet implemented");
    }
    EXPECT_EQ(m, before);
}

TEST(UsedNodes, DistinctAscending) {
    UMeshBase m = nodes_mesh(10);
    EXPECT_TRUE(m.used_nodes().empty());
    m.add_regular_block(ET::TRI3, rows(3, {5, 2, 9}));
    EXPECT_EQ(m.used_nodes(), (std::vector<std::uint64_t>{2, 5, 9}));
    // Numbers beyond the coordinates still count; a polyhedron's face separators do not.
    const std::uint64_t S = ~std::uint64_t{0};
    m.add_poly_block(ET::PHED, ArrayU64::from_values({8}, {2, 12, 3, S, 40, 12, 3, S}), ArrayU64::from_values({1}, {8}));
    EXPECT_EQ(m.used_nodes(), (std::vector<std::uint64_t>{2, 3, 5, 9, 12, 40}));
}

TEST(Update, ReplacesBlocksOfTheProducedDimensions) {
    UMeshBase m = nodes_mesh(4);
    m.add_regular_block(ET::TRI3, rows(3, {0, 1, 2}));
    m.add_regular_block(ET::SEG2, rows(2, {0, 1}), FieldMap{{"f", ArrayF64::from_values({1}, {3.0})}});
    m.add_regular_block(ET::SEG3, rows(3, {0, 1, 3}));
    UMeshBase other(ArrayF64::filled({1, 2}, 5.0));
    other.add_regular_block(ET::SEG2, rows(2, {2, 3, 3, 0}));

    std::optional<UMeshBase> old = m.update(std::move(other));
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->coords.shares_storage_with(m.coords));
    ASSERT_EQ(old->element_blocks.size(), 2u);
    EXPECT_EQ(old->block(ET::SEG2).fields.at("f"), ArrayF64::from_values({1}, {3.0}));
    EXPECT_EQ(old->block(ET::SEG3).len(), 1u);
    EXPECT_EQ(m.num_nodes(), 4u);
    ASSERT_EQ(m.element_blocks.size(), 2u);
    EXPECT_EQ(m.block(ET::TRI3).len(), 1u);
    EXPECT_EQ(m.block(ET::SEG2).connectivity.regular_array(), rows(2, {2, 3, 3, 0}));

    UMeshBase vertices = nodes_mesh(4);
    vertices.add_regular_block(ET::VERTEX, rows(1, {3}));
    EXPECT_FALSE(m.update(std::move(vertices)));
    EXPECT_EQ(m.element_blocks.size(), 3u);
    EXPECT_FALSE(m.update(nodes_mesh(4)));
    EXPECT_EQ(m.element_blocks.size(), 3u);
}
