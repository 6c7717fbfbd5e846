#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "zentrel/tools/extrude.hpp"
#include "zentrel/tools/grid.hpp"

using namespace zentrel;

namespace {

ArrayF64 mat(std::size_t cols, std::vector<double> v) {
    return ArrayF64::from_values({cols ? v.size() / cols : 0, cols}, std::span<const double>(v));
}
ArrayU64 conn(std::size_t cols, std::vector<std::uint64_t> v) {
    return ArrayU64::from_values({v.size() / cols, cols}, std::span<const std::uint64_t>(v));
}

std::string error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

UMeshBase one_quad() {
    UMeshBase m(mat(2, {0, 0, 1, 0, 1, 1, 0, 1}));
    m.add_regular_block(ElementType::QUAD4, conn(4, {0, 1, 2, 3}), FieldMap{{"f", ArrayF64::filled({1}, 2.0)}});
    m.block_mut(ElementType::QUAD4).groups["g"] = {0};
    return m;
}

UMeshBase polyline() {
    UMeshBase m(mat(2, {0, 0, 1, 0, 2, 0}));
    m.add_regular_block(ElementType::SEG2, conn(2, {0, 1, 1, 2}));
    return m;
}

void expect_bare_blocks(const UMeshBase& m) {
    for (const auto& [t, b] : m.element_blocks) {
        SCOPED_TRACE(std::string(name_of(t)));
        EXPECT_TRUE(b.fields.empty());
        EXPECT_TRUE(b.groups.empty());
        EXPECT_EQ(b.families, ArrayU64::filled({b.len()}, 0));
    }
}

void expect_near(const ArrayF64& got, const std::vector<double>& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got.values()[i], want[i], tol) << "at " << i;
}

}  // namespace

TEST(Extrude, Cross) {
    EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}), (Point3{0, 0, 1}));
    EXPECT_EQ(cross({1, 2, 3}, {4, 5, 6}), (Point3{-3, 6, -3}));
}

TEST(Extrude, StraightLayersAndBlocks) {
    UMeshBase q = extrude(one_quad(), std::vector<double>{0, 1, 2});
    EXPECT_EQ(q.coords.shape(), (Shape{12, 3}));
    EXPECT_EQ(q.block(ElementType::HEX8).connectivity.regular_array(),
              conn(8, {0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(q.coords.row(9)[0], 1.0);
    EXPECT_EQ(q.coords.row(9)[2], 2.0);
    expect_bare_blocks(q);

    UMeshBase s = extrude(polyline(), std::vector<double>{0, 1});
    EXPECT_EQ(s.block(ElementType::QUAD4).connectivity.regular_array(), conn(4, {0, 1, 4, 3, 1, 2, 5, 4}));

    UMeshBase v(mat(1, {7}));
    v.add_regular_block(ElementType::VERTEX, conn(1, {0}));
    UMeshBase vs = extrude(v, std::vector<double>{0, 2, 5});
    EXPECT_EQ(vs.block(ElementType::SEG2).connectivity.regular_array(), conn(2, {0, 1, 1, 2}));
    EXPECT_EQ(vs.coords, mat(2, {7, 0, 7, 2, 7, 5}));
}

TEST(Extrude, ZeroAndOneLayer) {
    UMeshBase src = one_quad();
    UMeshBase none = extrude(src, std::vector<double>{});
    EXPECT_EQ(none, src.to_shared());
    expect_bare_blocks(none);

    UMeshBase tri(mat(2, {0, 0, 1, 0, 0, 1}));
    tri.add_regular_block(ElementType::TRI3, conn(3, {0, 1, 2}));
    UMeshBase one = extrude(tri, std::vector<double>{3.0});
    EXPECT_EQ(one.coords, mat(3, {0, 0, 3, 1, 0, 3, 0, 1, 3}));
    EXPECT_EQ(one.block(ElementType::TRI3).connectivity.regular_array(), conn(3, {0, 1, 2}));
    EXPECT_EQ(error_of([&] { extrude(tri, std::vector<double>{0, 1}); }),
              "not yet implemented: Extrusion of TRI3 is not implemented yet");

    EXPECT_EQ(extrude_parallel(src, ArrayF64::uninit({0, 3})), src.to_shared());
    EXPECT_EQ(extrude_parallel(src, ArrayF64::uninit({4, 0})), src.to_shared());
    EXPECT_EQ(extrude_curv(src, ArrayF64::uninit({0, 7})), src.to_shared());
}

TEST(Extrude, MixedBlocksMapTogether) {
    UMeshBase m(mat(2, {0, 0, 1, 0, 1, 1, 0, 1}));
    m.add_regular_block(ElementType::SEG2, conn(2, {0, 1}), FieldMap{{"f", ArrayF64::filled({1}, 1.0)}});
    m.add_regular_block(ElementType::QUAD4, conn(4, {0, 1, 2, 3}));
    m.add_regular_block(ElementType::VERTEX, conn(1, {2}));
    UMeshBase r = extrude(m, std::vector<double>{0, 1, 3});
    std::vector<ElementType> types;
    for (const auto& [t, b] : r.element_blocks) types.push_back(t);
    EXPECT_EQ(types, (std::vector<ElementType>{ElementType::SEG2, ElementType::QUAD4, ElementType::HEX8}));
    EXPECT_EQ(r.block(ElementType::SEG2).connectivity.regular_array(), conn(2, {2, 6, 6, 10}));
    EXPECT_EQ(r.block(ElementType::QUAD4).connectivity.regular_array(), conn(4, {0, 1, 5, 4, 4, 5, 9, 8}));
    expect_bare_blocks(r);
}

TEST(Extrude, StraightGridEqualsThreeAxisGrid) {
    std::vector<double> x{0, 1, 2.5, 4}, y{0, 0.5, 2}, z{-1, 0, 3, 3.5};
    UMeshBase plane = RegularUMeshBuilder().add_axis(x).add_axis(y).build();
    UMeshBase solid = RegularUMeshBuilder().add_axis(x).add_axis(y).add_axis(z).build();
    EXPECT_EQ(extrude(plane, z), solid);
}

TEST(Extrude, BadBlocksFailBeforeBuilding) {
    UMeshBase far(mat(2, {0, 0, 1, 0}));
    far.add_regular_block(ElementType::SEG2, conn(2, {0, 5}));
    EXPECT_EQ(error_of([&] { extrude(far, std::vector<double>{0, 1}); }).rfind("node 5 is out of range", 0), 0u);

    UMeshBase narrow(mat(2, {0, 0, 1, 0, 1, 1}));
    narrow.add_regular_block(ElementType::QUAD4, conn(3, {0, 1, 2}));
    EXPECT_EQ(error_of([&] { extrude(narrow, std::vector<double>{0, 1}); }),
              "Connectivity length does not match the number of nodes for element type QUAD4");

    EXPECT_NE(error_of([&] { extrude_connectivity(one_quad(), 2, ArrayF64::uninit({8, 3})); }), "");
    EXPECT_NE(error_of([&] { extrude_dup_connectivity(polyline(), ElementType::SEG2, 1); }), "");
}

TEST(Extrude, ParallelLayers) {
    UMeshBase m(mat(2, {0, 0, 1, 0, 1, 1, 0, 1}));
    m.add_regular_block(ElementType::QUAD4, conn(4, {0, 1, 2, 3}));
    UMeshBase r = extrude_parallel(m, mat(3, {0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(r.coords, mat(3, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 2, 0, 1, 2, 1, 1, 1, 1, 1}));

    // The first path point is the origin of the translation; extra columns are ignored, and
    // columns past the first two are carried unchanged.
    ArrayF64 c = extrude_coords_parallel(mat(3, {1, 2, 9}), mat(5, {10, 20, 0, 4, 99, 13, 25, 0, 6, 99}));
    EXPECT_EQ(c, mat(4, {1, 2, 9, 4, 4, 7, 9, 6}));

    // A 1D mesh follows the path in x, the new column is the path's second coordinate.
    EXPECT_EQ(extrude_coords_parallel(mat(1, {5}), mat(2, {1, 7, 3, 8})), mat(2, {5, 7, 7, 8}));
    // Without input coordinates the new column is the height alone.
    EXPECT_EQ(extrude_coords_parallel(ArrayF64::uninit({2, 0}), mat(1, {4, 6})), mat(1, {4, 4, 6, 6}));

    EXPECT_EQ(error_of([&] { extrude_parallel(m, mat(2, {0, 0, 1, 1})); }).rfind("index out of range", 0), 0u);
}

TEST(Extrude, CurvilinearStraightUpIsStraightExtrusion) {
    UMeshBase m = one_quad();
    UMeshBase curv = extrude_curv(m, mat(3, {0, 0, 0, 0, 0, 1, 0, 0, 2}));
    EXPECT_EQ(curv, extrude(m, std::vector<double>{0, 1, 2}));
}

TEST(Extrude, CurvilinearQuarterTurnTowardsX) {
    // The section turns about its centroid (0.5, 0.5, 0) from +z to +x, then moves by (1, 0, 0).
    ArrayF64 c = extrude_coords_curvilinear(mat(2, {0, 0, 1, 0, 1, 1, 0, 1}), mat(3, {0, 0, 0, 1, 0, 0}));
    expect_near(c, {0.5, 0,   0.5, 0.5, 0, -0.5, 0.5, 1,   -0.5, 0.5, 1,   0.5,
                    1.5, 0,   0.5, 1.5, 0, -0.5, 1.5, 1,   -0.5, 1.5, 1,   0.5});
}

TEST(Extrude, CurvilinearOppositeDirectionsHalfTurn) {
    // +z then straight down: the half turn about the x axis through the centroid (1, 0.5, 0)
    // maps y to 1 − y and keeps the section in its plane.
    ArrayF64 sec = mat(2, {0, 0, 2, 0, 1, 1.5});
    ArrayF64 c = extrude_coords_curvilinear(sec, mat(3, {0, 0, 0, 0, 0, -1}));
    expect_near(c, {0, 1, 0, 2, 1, 0, 1, -0.5, 0, 0, 1, -1, 2, 1, -1, 1, -0.5, -1});

    // A path going up and then back down partly: the last step turns by half a turn.
    ArrayF64 back = extrude_coords_curvilinear(sec, mat(3, {0, 0, 0, 0, 0, 1, 0, 0, 0.5}));
    expect_near(back, {0, 0, 0, 2, 0, 0, 1, 1.5, 0, 0, 0, 1, 2, 0, 1, 1, 1.5, 1, 0, 1, 0.5, 2, 1, 0.5, 1, -0.5, 0.5});
}

TEST(Extrude, CurvilinearFailures) {
    ArrayF64 sec = mat(2, {0, 0, 1, 0, 0, 1});
    struct Case {
        const char* what;
        ArrayF64 coords, path;
        std::string prefix;
    };
    std::vector<Case> cases = {
        {"column mismatch", sec, mat(4, {0, 0, 0, 0, 1, 1, 1, 1}), "assertion failed"},
        {"not a 2D mesh", mat(3, {0, 0, 0}), mat(4, {0, 0, 0, 0, 1, 1, 1, 1}), "incompatible shapes"},
        {"single point", sec, mat(3, {0, 0, 0}), "cannot sweep along a path of 1 point"},
        {"no node", ArrayF64::uninit({0, 2}), mat(3, {0, 0, 0, 0, 0, 1}), "cannot sweep a section without nodes"},
        {"repeated point", sec, mat(3, {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 2}), "cannot sweep along a path whose points 1 and 2"},
        {"turns straight back", sec, mat(3, {0, 0, 0, 0, 0, 1, 0, 0, 0}), "cannot sweep along a path that turns straight back at point 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string e = error_of([&] { extrude_coords_curvilinear(c.coords, c.path); });
        EXPECT_EQ(e.rfind(c.prefix, 0), 0u) << e;
    }
}
