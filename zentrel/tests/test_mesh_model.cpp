#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zentrel/mesh/debug_dump.hpp"
#include "zentrel/mesh/umesh.hpp"
#include "zentrel/tools/grid.hpp"

using namespace zentrel;

namespace {

template <class F>
std::string error_of(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "<no error>";
}

ArrayU64 rows(std::size_t width, std::initializer_list<std::uint64_t> v) {
    return ArrayU64::from_values({v.size() / width, width}, v);
}

UMeshBase square_mesh() { return UMeshBase(ArrayF64::from_values({4, 2}, {0, 0, 1, 0, 1, 1, 0, 1})); }

}  // namespace

TEST(ElementType, CodesOrderNamesAndProperties) {
    for (std::size_t c = 0; c < kNumElementTypes; ++c) EXPECT_EQ(code_of(kAllElementTypes[c]), c);
    EXPECT_LT(ElementType::SEG4, ElementType::SPLINE);
    EXPECT_LT(ElementType::SPLINE, ElementType::TRI3);
    EXPECT_LT(ElementType::QUAD9, ElementType::PGON);
    EXPECT_LT(ElementType::PGON, ElementType::TET4);
    EXPECT_EQ(dimension_of(ElementType::PGON), Dimension::D2);
    EXPECT_EQ(dimension_of(ElementType::SPLINE), Dimension::D1);
    EXPECT_EQ(num_nodes(ElementType::HEX21), 21u);
    EXPECT_FALSE(num_nodes(ElementType::PHED));
    for (ElementType t : kAllElementTypes) {
        EXPECT_EQ(element_type_from_name(name_of(t)), t);
        EXPECT_EQ(is_poly(t), !num_nodes(t).has_value());
    }
    EXPECT_FALSE(try_element_type_from_name("tri3"));
    EXPECT_EQ(ElementId(ElementType::TRI3, 5).debug_string(), "ElementId(TRI3, 5)");
    EXPECT_LT(ElementId(ElementType::SEG2, 9), ElementId(ElementType::TRI3, 0));
}

TEST(Dimension, ConversionAndArithmetic) {
    const std::string msg = "i is higher than 3, could not convert into a dimension";
    EXPECT_EQ(dimension_from_uint(3), Dimension::D3);
    EXPECT_EQ(error_of([] { dimension_from_uint(4); }), msg);
    EXPECT_EQ(dimension_minus(Dimension::D3, 1), Dimension::D2);
    EXPECT_EQ(error_of([] { dimension_minus(Dimension::D0, 1); }), msg);
    EXPECT_EQ(error_of([] { dimension_plus(Dimension::D3, 1); }), msg);
}

TEST(NdArray, CopiesShareUntilWritten) {
    ArrayF64 a = ArrayF64::from_values({2, 2}, {1, 2, 3, 4});
    ArrayF64 b = a;
    EXPECT_TRUE(a.shares_storage_with(b));
    b.data_mut()[0] = 9;
    EXPECT_FALSE(a.shares_storage_with(b));
    EXPECT_EQ(a.data()[0], 1);
    ArrayF64 c = a;
    a.append_row(std::vector<double>{5, 6});
    EXPECT_EQ(c.shape(), (Shape{2, 2}));
    EXPECT_EQ(a.shape(), (Shape{3, 2}));
    EXPECT_EQ(a.row(2)[1], 6);
    EXPECT_EQ(a.strides(), (std::vector<std::size_t>{2, 1}));
    EXPECT_NE(error_of([&] { a.append_row(std::vector<double>{1}); }), "<no error>");
    // A row of the array itself, appended while the storage has to grow.
    ArrayF64 self = ArrayF64::from_values({1, 2}, {7, 8});
    for (int i = 0; i < 10; ++i) self.append_row(self.row(0));
    EXPECT_EQ(self.row(10)[1], 8);
    EXPECT_NE(error_of([] { checked_size({SIZE_MAX / 2, 3}); }), "<no error>");
}

TEST(IndirectIndex, EndOffsetsAndEmptyItems) {
    IndirectIndex idx;
    idx.push(std::vector<std::uint64_t>{4, 5, 6});
    idx.push(std::vector<std::uint64_t>{7});
    EXPECT_EQ(idx.data, ArrayU64::from_values({4}, {4, 5, 6, 7}));
    EXPECT_EQ(idx.offsets, ArrayU64::from_values({2}, {3, 4}));
    EXPECT_EQ(idx.item(0).size(), 3u);
    EXPECT_EQ(idx.item(1)[0], 7u);
    idx.push(std::vector<std::uint64_t>{});
    EXPECT_EQ(idx.offsets[2], 4u);
    EXPECT_TRUE(idx.item(2).empty());
    std::vector<std::size_t> sizes;
    for (auto item : idx) sizes.push_back(item.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 1, 0}));
    EXPECT_NE(error_of([&] { idx.item(3); }), "<no error>");
}

TEST(IndirectIndex, InconsistentOffsetsAreReportedNotFollowed) {
    IndirectIndex bad(ArrayU64::from_values({2}, {1, 2}), ArrayU64::from_values({2}, {3, 1}));
    EXPECT_NE(error_of([&] { bad.item(0); }), "<no error>");
    EXPECT_NE(error_of([&] { bad.item(1); }), "<no error>");
    EXPECT_NE(error_of([&] { bad.validate(); }), "<no error>");
}

TEST(UMesh, AddRegularBlockKeepsAnExistingBlock) {
    UMeshBase m = square_mesh();
    FieldMap f{{"rho", ArrayF64::from_values({1}, {2.5})}};
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2}), f);
    m.add_regular_block(ElementType::TRI3, rows(3, {1, 2, 3, 0, 2, 3}));
    const ElementBlockBase& b = m.block(ElementType::TRI3);
    EXPECT_EQ(b.len(), 1u);
    EXPECT_EQ(b.fields.at("rho")[0], 2.5);
    EXPECT_EQ(b.families, ArrayU64::filled({1}, 0));
}

TEST(UMesh, AddElementRegularAndPoly) {
    UMeshBase m = square_mesh();
    EXPECT_EQ(m.add_element(ElementType::TRI3, std::vector<std::uint64_t>{0, 1, 2}), ElementId(ElementType::TRI3, 0));
    EXPECT_EQ(m.add_element(ElementType::TRI3, std::vector<std::uint64_t>{0, 2, 3}), ElementId(ElementType::TRI3, 1));
    EXPECT_EQ(error_of([&] { m.add_element(ElementType::TRI3, std::vector<std::uint64_t>{0, 1, 2, 3}); }),
              "Connectivity length does not match the number of nodes for element type TRI3");
    EXPECT_EQ(m.block(ElementType::TRI3).len(), 2u);

    m.add_element(ElementType::PGON, std::vector<std::uint64_t>{0, 1, 2, 3, 0});
    EXPECT_EQ(m.block(ElementType::PGON).connectivity.indirect().offsets, ArrayU64::from_values({1}, {5}));
    m.add_element(ElementType::PGON, std::vector<std::uint64_t>{0, 1, 2});
    const IndirectIndex& idx = m.block(ElementType::PGON).connectivity.indirect();
    EXPECT_EQ(idx.offsets, ArrayU64::from_values({2}, {5, 8}));
    EXPECT_EQ(idx.data.size(), 8u);
    EXPECT_EQ(m.block(ElementType::PGON).families.size(), 2u);
}

TEST(UMesh, AddElementWithFieldValuesFailsBeforeAdding) {
    UMeshBase m = square_mesh();
    m.add_element(ElementType::TRI3, std::vector<std::uint64_t>{0, 1, 2});
    FieldMap f{{"rho", ArrayF64::from_values({1}, {1.0})}};
    EXPECT_EQ(error_of([&] { m.add_element(ElementType::TRI3, std::vector<std::uint64_t>{0, 2, 3}, f); }),
              "not yet implemented");
    EXPECT_EQ(m.block(ElementType::TRI3).len(), 1u);
    EXPECT_EQ(error_of([&] { m.add_element(ElementType::QUAD4, std::vector<std::uint64_t>{0, 1, 2, 3}, f); }),
              "not yet implemented");
    EXPECT_FALSE(m.find_block(ElementType::QUAD4));
}

TEST(UMesh, AppendCoordChecksThePointLength) {
    UMeshBase m = square_mesh();
    m.append_coord(std::vector<double>{2, 2});
    EXPECT_EQ(m.num_nodes(), 5u);
    EXPECT_EQ(m.coords.row(4)[0], 2);
    ArrayF64 before = m.coords;
    EXPECT_NE(error_of([&] { m.append_coord(std::vector<double>{1, 2, 3}); }), "<no error>");
    EXPECT_EQ(m.coords, before);
}

TEST(UMesh, ElementViewsAndBounds) {
    UMeshBase m = square_mesh();
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2, 0, 2, 7}));
    Element e = m.element({ElementType::TRI3, 0});
    EXPECT_EQ(e.connectivity()[2], 2u);
    EXPECT_EQ(e.node_coords(1)[0], 1.0);
    // A node number beyond the coordinates fails on read, never reads past the array.
    EXPECT_NE(error_of([&] { m.element({ElementType::TRI3, 1}).node_coords(2); }), "<no error>");
    EXPECT_NE(error_of([&] { m.element({ElementType::TRI3, 2}); }), "<no error>");
    EXPECT_EQ(error_of([&] { m.element({ElementType::QUAD4, 0}); }), "Element is not in the mesh.");
    ElementMut em = m.element_mut({ElementType::TRI3, 1});
    em.connectivity()[2] = 3;
    em.family() = 4;
    EXPECT_EQ(m.element({ElementType::TRI3, 1}).connectivity()[2], 3u);
    EXPECT_EQ(m.element({ElementType::TRI3, 1}).family(), 4u);
}

TEST(UMesh, InGroup) {
    UMeshBase m = square_mesh();
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2, 0, 2, 3}));
    ElementBlockBase& b = m.block_mut(ElementType::TRI3);
    b.families.data_mut()[1] = 7;
    b.groups["top"] = {7, 8};
    EXPECT_FALSE(m.element({ElementType::TRI3, 0}).in_group("top"));
    EXPECT_TRUE(m.element({ElementType::TRI3, 1}).in_group("top"));
    EXPECT_FALSE(m.element({ElementType::TRI3, 1}).in_group("missing"));
}

TEST(UMesh, RegularConnectivityMessages) {
    UMeshBase m = square_mesh();
    m.add_poly_block(ElementType::PGON, ArrayU64::from_values({4}, {0, 1, 2, 3}), ArrayU64::from_values({1}, {4}));
    EXPECT_EQ(error_of([&] { m.regular_connectivity(ElementType::PGON); }),
              "This element type has poly connectivity, please use poly_connectivity(et) method.");
    EXPECT_EQ(error_of([&] { m.regular_connectivity(ElementType::HEX8); }), "Element is not in the mesh.");
}

TEST(UMesh, ToSharedDropsFieldsGroupsAndFamilies) {
    UMeshBase m = square_mesh();
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2}), FieldMap{{"rho", ArrayF64::filled({1}, 1)}});
    m.add_poly_block(ElementType::PGON, ArrayU64::from_values({4}, {0, 1, 2, 3}), ArrayU64::from_values({1}, {4}));
    for (auto& [t, b] : m.element_blocks) {
        b.families.data_mut()[0] = 3;
        b.groups["g"] = {3};
    }
    UMeshBase s = m.to_shared();
    EXPECT_EQ(s.coords, m.coords);
    for (const auto& [t, b] : s.element_blocks) {
        EXPECT_TRUE(b.fields.empty());
        EXPECT_TRUE(b.groups.empty());
        EXPECT_EQ(b.families, ArrayU64::filled({1}, 0));
        EXPECT_EQ(b.connectivity, m.block(t).connectivity);
    }
}

TEST(Field, NewAndCompatibility) {
    EXPECT_EQ(error_of([] { FieldBase::new_({}); }), "A field should not be empty.");
    FieldBase tri = FieldBase::new_({{ElementType::TRI3, ArrayF64::filled({2}, 1)}});
    FieldBase both = FieldBase::new_(
        {{ElementType::TRI3, ArrayF64::filled({2}, 1)}, {ElementType::QUAD4, ArrayF64::filled({3}, 1)}});
    FieldBase both_other_shapes = FieldBase::new_(
        {{ElementType::TRI3, ArrayF64::filled({2, 3}, 1)}, {ElementType::QUAD4, ArrayF64::filled({1}, 1)}});
    EXPECT_EQ(error_of([&] { both.panic_if_incompatible_with(tri); }),
              "Fields with element types [TRI3, QUAD4], [TRI3] are not compatible for operation");
    EXPECT_EQ(error_of([&] { both.panic_if_incompatible_with(both_other_shapes); }), "<no error>");
}

TEST(Field, LookupByNameAndDimension) {
    UMeshBase m = square_mesh();
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2}), FieldMap{{"rho", ArrayF64::filled({1}, 1)}});
    m.add_regular_block(ElementType::QUAD4, rows(4, {0, 1, 2, 3}), FieldMap{{"rho", ArrayF64::filled({1}, 2)}});
    m.add_regular_block(ElementType::SEG2, rows(2, {0, 1}));
    auto rho = m.field("rho", Dimension::D2);
    ASSERT_TRUE(rho);
    EXPECT_EQ(rho->map().size(), 2u);
    EXPECT_FALSE(m.field("rho", Dimension::D1));
    EXPECT_EQ(error_of([&] { m.field("rho", Dimension::D3); }), "A field should not be empty.");
    m.block_mut(ElementType::QUAD4).fields.clear();
    EXPECT_FALSE(m.field("rho", Dimension::D2));
}

TEST(Field, UpdateFieldWritesTheTopDimensionOnly) {
    UMeshBase m = square_mesh();
    EXPECT_EQ(error_of([&] { m.update_field("f", FieldBase::new_({{ElementType::TRI3, ArrayF64::filled({1}, 1)}})); }),
              "This mesh should not be empty");
    m.add_regular_block(ElementType::SEG2, rows(2, {0, 1}));
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2}));
    m.update_field("f", FieldBase::new_({{ElementType::TRI3, ArrayF64::filled({1}, 4)},
                                         {ElementType::SEG2, ArrayF64::filled({1}, 5)}}));
    EXPECT_EQ(m.block(ElementType::TRI3).fields.at("f")[0], 4);
    EXPECT_TRUE(m.block(ElementType::SEG2).fields.empty());
}

TEST(Field, UpdateFieldFailsWithoutTouchingAnyBlock) {
    UMeshBase m = square_mesh();
    m.add_regular_block(ElementType::TRI3, rows(3, {0, 1, 2}), FieldMap{{"f", ArrayF64::filled({1}, 1)}});
    m.add_regular_block(ElementType::QUAD4, rows(4, {0, 1, 2, 3}), FieldMap{{"f", ArrayF64::filled({1}, 1)}});
    UMeshBase before = m;
    std::string msg = error_of(
        [&] { m.update_field("f", FieldBase::new_({{ElementType::TRI3, ArrayF64::filled({1}, 9)}})); });
    EXPECT_NE(msg.find("QUAD4"), std::string::npos) << msg;
    EXPECT_EQ(m, before);
}

TEST(Grid, NumberingAndErrors) {
    RegularUMeshBuilder b;
    b.add_axis({0, 1, 2}).add_axis({0, 1, 2, 3}).add_axis({0, 1, 2});
    UMeshBase m = b.build();
    const ArrayU64& c = m.regular_connectivity(ElementType::HEX8);
    EXPECT_EQ(c.shape(), (Shape{12, 8}));
    EXPECT_EQ(c.row(11)[0], 19u);  // cell (1, 2, 1): corner 1 + 3*2 + 12*1
    EXPECT_EQ(m.coords.row(19)[0], 1);
    EXPECT_EQ(m.coords.row(19)[1], 2);
    EXPECT_EQ(m.coords.row(19)[2], 1);

    EXPECT_EQ(error_of([] { RegularUMeshBuilder().build(); }), "Cannot create coordinates for more than 3 axes");
    EXPECT_EQ(error_of([] { RegularUMeshBuilder().compute_connectivity(); }),
              "Cannot create connectivity for more than 3 axes");
    EXPECT_EQ(error_of([&] { b.add_axis({1}); }), "Cannot add more than three axes to a regular mesh builder");
    EXPECT_NE(error_of([] { RegularUMeshBuilder().add_axis({0, 1}).add_axis({}).build(); }), "<no error>");
    UMeshBase flat = RegularUMeshBuilder().add_axis({5.0}).add_axis({0, 1}).build();
    EXPECT_EQ(flat.num_nodes(), 2u);
    EXPECT_EQ(flat.block(ElementType::QUAD4).len(), 0u);
}

TEST(DebugDump, ListsEveryMember) {
    UMeshBase m = square_mesh();
    m.add_poly_block(ElementType::PGON, ArrayU64::from_values({4}, {0, 1, 2, 3}), ArrayU64::from_values({1}, {4}));
    m.block_mut(ElementType::PGON).groups["g"] = {0, 2};
    std::string s = debug_dump(m);
    for (const char* part : {"UMeshBase {", "coords: [[0.0, 0.0],", "element_blocks: {", "PGON: ElementBlockBase {",
                             "cell_type: PGON,", "connectivity: Poly(", "IndirectIndex {", "data: [0, 1, 2, 3], shape=[4]",
                             "offsets: [4], shape=[1], strides=[1]", "const ndim=1", "\"g\": {0, 2},"})
        EXPECT_NE(s.find(part), std::string::npos) << part << "\n" << s;
}
