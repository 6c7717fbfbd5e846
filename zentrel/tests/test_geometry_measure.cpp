#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "zentrel/element_traits/geometry.hpp"
#include "zentrel/element_traits/measure.hpp"
#include "zentrel/mesh/umesh.hpp"
#include "zentrel/tools/measure.hpp"

using namespace zentrel;

namespace {

ArrayF64 pts(std::size_t width, std::vector<double> v) {
    return ArrayF64::from_values({v.size() / width, width}, std::span<const double>(v));
}

std::string error_of(auto&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

struct MeasureCase {
    const char* what;
    ElementType type;
    std::size_t space;
    std::vector<double> coords;
    std::vector<std::uint64_t> nodes;
    double value;               // used when message is empty
    std::string message = "";  // prefix of the expected failure
};


}  // namespace

TEST(ElementMeasure, Table) {
    const std::vector<MeasureCase> cases = {
        {"vertex 2d", ElementType::VERTEX, 2, {7, 8}, {0}, 0.0},
        {"vertex 3d, node never read", ElementType::VERTEX, 3, {7, 8, 9}, {99}, 0.0},
        {"seg2 2d", ElementType::SEG2, 2, {0, 0, 3, 4}, {0, 1}, 5.0},
        {"seg2 3d", ElementType::SEG2, 3, {1, 2, 3, 3, 5, 9}, {0, 1}, 7.0},
        {"seg2 coincident", ElementType::SEG2, 2, {1, 1}, {0, 0}, 0.0},
        {"tri3 2d ccw", ElementType::TRI3, 2, {0, 0, 2, 0, 0, 3}, {0, 1, 2}, 3.0},
        {"tri3 2d cw", ElementType::TRI3, 2, {0, 0, 2, 0, 0, 3}, {0, 2, 1}, 3.0},
        {"tri3 collinear 2d", ElementType::TRI3, 2, {0, 0, 1, 1, 2, 2}, {0, 1, 2}, 0.0},
        {"tri3 collinear 3d", ElementType::TRI3, 3, {0, 0, 0, 1, 1, 1, 3, 3, 3}, {0, 1, 2}, 0.0},
        {"tri3 3d in plane", ElementType::TRI3, 3, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, 0.5},
        {"tri3 3d slanted", ElementType::TRI3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 1, 2}, std::sqrt(3.0) / 2},
        {"quad4 unit", ElementType::QUAD4, 2, {0, 0, 1, 0, 1, 1, 0, 1}, {0, 1, 2, 3}, 1.0},
        {"quad4 reversed", ElementType::QUAD4, 2, {0, 0, 1, 0, 1, 1, 0, 1}, {3, 2, 1, 0}, 1.0},
        {"quad4 self-crossing", ElementType::QUAD4, 2, {0, 0, 1, 1, 1, 0, 0, 1}, {0, 1, 2, 3}, 0.0},
        {"quad4 3d", ElementType::QUAD4, 3, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 3}, 0, "not yet implemented"},
        {"quad4 3d bad node is reported first", ElementType::QUAD4, 3, {0, 0, 0}, {0, 0, 0, 5}, 0, "node 5 is out of range"},
        {"pgon 2d", ElementType::PGON, 2, {0, 0, 1, 0, 1, 1}, {0, 1, 2}, 0, "not yet implemented"},
        {"tet4 3d", ElementType::TET4, 3, {0, 0, 0}, {0, 0, 0, 0}, 0, "not yet implemented"},
        {"hex8 2d", ElementType::HEX8, 2, {0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, 0, "not yet implemented"},
        {"seg3 2d", ElementType::SEG3, 2, {0, 0}, {0, 0, 0}, 0, "not yet implemented"},
        {"node beyond coords", ElementType::TRI3, 2, {0, 0, 1, 0}, {0, 1, 2}, 0, "node 2 is out of range"},
        {"short node list", ElementType::TRI3, 2, {0, 0, 1, 0}, {0, 1}, 0, "index out of range"},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(c.what);
        ArrayF64 coords = pts(c.space, c.coords);
        auto run = [&] { return c.space == 2 ? measure2(c.type, c.nodes, coords) : measure3(c.type, c.nodes, coords); };
        if (c.message.empty()) {
            EXPECT_DOUBLE_EQ(run(), c.value);
        } else {
            EXPECT_EQ(error_of(run).rfind(c.message, 0), 0u) << error_of(run);
        }
    }
}

TEST(ElementMeasure, WidthIsAssertedNeverTruncated) {
    ArrayF64 c3 = pts(3, {0, 0, 0, 3, 4, 0});
    ArrayF64 c2 = pts(2, {0, 0, 3, 4});
    std::vector<std::uint64_t> seg{0, 1};
    EXPECT_NE(error_of([&] { measure2(ElementType::SEG2, seg, c3); }).find("assertion"), std::string::npos);
    EXPECT_NE(error_of([&] { measure3(ElementType::SEG2, seg, c2); }).find("assertion"), std::string::npos);
    EXPECT_NE(error_of([&] { centroid2(seg, c3); }).find("assertion"), std::string::npos);
}

TEST(ElementMeasure, ExactEvaluationOrder) {
    // Values where the grouping of the sums changes the last bits: the shoelace must group
    // (x1 y2 + x3 y0) + (x0 y1 + x2 y3) and likewise for the other sum.
    double x0 = 0.1, y0 = 1e8 + 0.3, x1 = 1e8 + 0.7, y1 = 0.2, x2 = 3.3, y2 = 1e-8, x3 = 0.9, y3 = 7.1;
    ArrayF64 c = pts(2, {x0, y0, x1, y1, x2, y2, x3, y3});
    double plus = (x1 * y2 + x3 * y0) + (x0 * y1 + x2 * y3);
    double minus = (x1 * y0 + x3 * y2) + (x2 * y1 + x0 * y3);
    std::vector<std::uint64_t> q{0, 1, 2, 3};
    EXPECT_EQ(measure2(ElementType::QUAD4, q, c), 0.5 * std::fabs(plus - minus));

    // Chosen so that the other groupings of the squared sum differ in the last bit.
    double a[3] = {0.0004210135874302673, 0.45090861743229205, 0.0002414202850978431};
    double b[3] = {0.0008450189016970556, 910.7644182793333, 806.4873663355711};
    ArrayF64 t = pts(3, {0, 0, 0, a[0], a[1], a[2], b[0], b[1], b[2]});
    double cx = a[1] * b[2] - a[2] * b[1], cy = a[0] * b[2] - a[2] * b[0], cz = a[0] * b[1] - a[1] * b[0];
    std::vector<std::uint64_t> tri{0, 1, 2};
    EXPECT_EQ(measure3(ElementType::TRI3, tri, t), std::sqrt(cx * cx + (cz * cz + cy * cy)) * 0.5);
}

TEST(ElementCentroid, PlainAverageOfListedNodes) {
    ArrayF64 c2 = pts(2, {0, 0, 3, 0, 0, 3});
    std::vector<std::uint64_t> repeated{0, 1, 2, 0};
    EXPECT_EQ(centroid2(repeated, c2), (Point2{0.75, 0.75}));
    ArrayF64 c3 = pts(3, {0, 0, 0, 2, 0, 0, 0, 4, 6});
    std::vector<std::uint64_t> tri{0, 1, 2};
    EXPECT_EQ(centroid3(tri, c3), (Point3{2.0 / 3, 4.0 / 3, 2.0}));

    // No nodes: 0/0 in each component, and no row (nor width) is looked at.
    ArrayF64 wrong_width = pts(5, {});
    Point2 e2 = centroid2({}, wrong_width);
    Point3 e3 = centroid3({}, wrong_width);
    EXPECT_TRUE(std::isnan(e2.x) && std::isnan(e2.y));
    EXPECT_TRUE(std::isnan(e3.x) && std::isnan(e3.y) && std::isnan(e3.z));

    std::vector<std::uint64_t> bad{0, 3};
    EXPECT_EQ(error_of([&] { centroid2(bad, c2); }).rfind("node 3 is out of range", 0), 0u);
}

TEST(ElementCentroid, ThroughElementView) {
    UMeshBase m(pts(2, {0, 0, 2, 0, 2, 2, 0, 2}));
    m.add_regular_block(ElementType::QUAD4, ArrayU64::from_values({1, 4}, {0, 1, 2, 3}));
    Element e = m.element({ElementType::QUAD4, 0});
    EXPECT_EQ(centroid2(e), (Point2{1, 1}));
    EXPECT_EQ(measure2(e), 4.0);
}

// The measure field: which blocks, which space, which message.
namespace {

UMeshBase unit_squares_with_edges() {
    UMeshBase m(pts(2, {0, 0, 1, 0, 2, 0, 0, 1, 1, 1, 2, 1}));
    m.add_regular_block(ElementType::QUAD4, ArrayU64::from_values({2, 4}, {0, 1, 4, 3, 1, 2, 5, 4}));
    m.add_regular_block(ElementType::SEG2, ArrayU64::from_values({2, 2}, {0, 1, 1, 2}));
    return m;
}

}  // namespace

TEST(MeasureField, OnlyTopDimensionBlocks) {
    MeasureMap r = measure(unit_squares_with_edges());
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r.at(ElementType::QUAD4), ArrayF64::from_values({2}, {1.0, 1.0}));
}

TEST(MeasureField, SpaceDimensionRules) {
    // Zero columns: zeros for any top type, even one without a formula.
    UMeshBase none(ArrayF64::uninit({3, 0}));
    none.add_poly_block(ElementType::PHED, ArrayU64::from_values({3}, {0, 1, 2}), ArrayU64::from_values({1}, {3}));
    EXPECT_EQ(measure(none).at(ElementType::PHED), ArrayF64::from_values({1}, {0.0}));

    UMeshBase line(pts(1, {0, 1}));
    line.add_regular_block(ElementType::SEG2, ArrayU64::uninit({0, 2}));
    EXPECT_EQ(error_of([&] { measure(line); }), "not yet implemented");

    UMeshBase wide(pts(4, {0, 0, 0, 0}));
    wide.add_regular_block(ElementType::VERTEX, ArrayU64::from_values({1, 1}, {0}));
    EXPECT_EQ(error_of([&] { measure(wide); }),
              "4 is not a valid space dimension. Space (coordinates) dimension must be 0, 1, 2 ou 3.");

    EXPECT_NE(error_of([&] { measure(UMeshBase(pts(2, {0, 0}))); }), "");
}

TEST(MeasureField, PolyStoredSegmentsAndBadRows) {
    UMeshBase m(pts(2, {0, 0, 3, 4, 6, 8}));
    m.add_poly_block(ElementType::SEG2, ArrayU64::from_values({4}, {0, 1, 1, 2}), ArrayU64::from_values({2}, {2, 4}));
    EXPECT_EQ(measure(m).at(ElementType::SEG2), ArrayF64::from_values({2}, {5.0, 5.0}));

    UMeshBase bad(pts(2, {0, 0, 1, 0}));
    bad.add_regular_block(ElementType::TRI3, ArrayU64::from_values({1, 3}, {0, 1, 7}));
    EXPECT_EQ(error_of([&] { measure(bad); }).rfind("node 7 is out of range", 0), 0u);

    UMeshBase narrow(pts(2, {0, 0, 1, 0}));
    narrow.add_regular_block(ElementType::TRI3, ArrayU64::from_values({1, 2}, {0, 1}));
    EXPECT_EQ(error_of([&] { measure(narrow); }).rfind("index out of range", 0), 0u);
}

TEST(MeasureField, UpdateStoresOnTopBlocksOnly) {
    UMeshBase m = unit_squares_with_edges();
    measure_update(m);
    measure_update(m);
    EXPECT_EQ(m.block(ElementType::QUAD4).fields.at("Measure"), ArrayF64::from_values({2}, {1.0, 1.0}));
    EXPECT_TRUE(m.block(ElementType::SEG2).fields.empty());

    // A failing measure leaves the mesh as it was.
    UMeshBase surf(pts(3, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}));
    surf.add_regular_block(ElementType::TRI3, ArrayU64::from_values({1, 3}, {0, 1, 2}));
    surf.add_regular_block(ElementType::QUAD4, ArrayU64::from_values({1, 4}, {0, 1, 3, 2}));
    UMeshBase before = surf;
    EXPECT_EQ(error_of([&] { measure_update(surf); }), "not yet implemented");
    EXPECT_EQ(surf, before);
}
