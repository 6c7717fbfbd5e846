#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "zentrel/element_traits/element_topo.hpp"
#include "zentrel/element_traits/sorted_vec_key.hpp"
#include "zentrel/element_traits/subentity_table.hpp"
#include "zentrel/mesh/error.hpp"

using namespace zentrel;
using ET = ElementType;
using D = Dimension;
using Rows = std::vector<std::vector<std::uint64_t>>;

namespace {

// Node list 10, 11, 12, ... so that each output entry reveals the local position it came from.
std::vector<std::uint64_t> iota_nodes(std::size_t n) {
    std::vector<std::uint64_t> v(n);
    std::iota(v.begin(), v.end(), 10);
    return v;
}

Rows rows_of(const ConnectivityBase& c) {
    Rows r;
    for (std::size_t i = 0; i < c.len(); ++i) r.emplace_back(c.nodes(i).begin(), c.nodes(i).end());
    return r;
}

std::string message_of(ET t, std::span<const std::uint64_t> nodes, D codim) {
    try {
        ElementTopo::subentities(t, nodes, codim);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

struct Row {
    ET type;
    std::size_t nodes;
    D codim;
    // either the expected (type, rows) with rows as local positions + 10, or the message
    std::variant<std::pair<ET, Rows>, const char*> expected;
};

const char* const kSeg = "It is not possible to ask for codim different from D1 on SEG";
const char* const kTri = "It is not possible to ask for codim diff from D1 and D2 on TRI3";
const char* const kQuad = "It is not possible to ask for codim diff from D1 and D2 on QUAD";
const char* const kPgon = "It is not possible to ask for codim diff from D1 or D2 on PGON";
const char* const kTet = "It is not possible to ask for codim diff from D1, D2 or D3 on TET";
const char* const kHex = "It is not possible to ask for codim diff from D1, D2 or D3 on HEX";
const char* const kNyi = "not yet implemented";

const std::vector<Row>& table() {
    static const std::vector<Row> t = {
        {ET::SEG2, 2, D::D1, std::pair{ET::VERTEX, Rows{{10}, {11}}}},
        {ET::SEG3, 3, D::D1, std::pair{ET::VERTEX, Rows{{10}, {11}}}},
        {ET::SEG4, 4, D::D1, std::pair{ET::VERTEX, Rows{{10}, {11}}}},
        {ET::SEG2, 2, D::D0, kSeg}, {ET::SEG3, 3, D::D2, kSeg}, {ET::SEG4, 4, D::D3, kSeg},
        {ET::TRI3, 3, D::D1, std::pair{ET::SEG2, Rows{{10, 11}, {11, 12}, {12, 10}}}},
        {ET::TRI3, 3, D::D2, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}}}},
        {ET::TRI6, 6, D::D1, std::pair{ET::SEG3, Rows{{10, 11, 13}, {11, 12, 14}, {12, 10, 15}}}},
        {ET::TRI7, 7, D::D1, std::pair{ET::SEG3, Rows{{10, 11, 13}, {11, 12, 14}, {12, 10, 15}}}},
        {ET::TRI7, 7, D::D2, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}}}},
        {ET::TRI3, 3, D::D0, kTri}, {ET::TRI6, 6, D::D3, kTri}, {ET::TRI7, 7, D::D0, kTri},
        {ET::QUAD4, 4, D::D1, std::pair{ET::SEG2, Rows{{10, 11}, {11, 12}, {12, 13}, {13, 10}}}},
        {ET::QUAD4, 4, D::D2, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}, {13}}}},
        {ET::QUAD4, 4, D::D0, kQuad}, {ET::QUAD4, 4, D::D3, kQuad},
        {ET::PGON, 5, D::D1, std::pair{ET::SEG2, Rows{{10, 11}, {11, 12}, {12, 13}, {13, 14}, {14, 10}}}},
        {ET::PGON, 2, D::D1, std::pair{ET::SEG2, Rows{{10, 11}, {11, 10}}}},
        {ET::PGON, 1, D::D1, std::pair{ET::SEG2, Rows{{10, 10}}}},
        {ET::PGON, 3, D::D2, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}}}},
        {ET::PGON, 0, D::D2, std::pair{ET::VERTEX, Rows{}}},
        {ET::PGON, 3, D::D0, kPgon}, {ET::PGON, 3, D::D3, kPgon},
        {ET::TET4, 4, D::D1, std::pair{ET::TRI3, Rows{{10, 11, 12}, {11, 12, 13}, {12, 13, 10}, {13, 10, 11}}}},
        {ET::TET4, 4, D::D2,
         std::pair{ET::SEG2, Rows{{10, 11}, {10, 12}, {10, 13}, {11, 12}, {11, 13}, {12, 13}}}},
        {ET::TET4, 4, D::D3, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}, {13}}}},
        {ET::TET4, 4, D::D0, kTet},
        {ET::HEX8, 8, D::D1,
         std::pair{ET::QUAD4, Rows{{10, 11, 12, 13}, {10, 13, 17, 14}, {10, 14, 15, 11}, {11, 15, 16, 12},
                                   {12, 16, 17, 13}, {14, 17, 16, 15}}}},
        {ET::HEX8, 8, D::D2,
         std::pair{ET::SEG2, Rows{{10, 11}, {10, 13}, {10, 14}, {11, 12}, {11, 15}, {12, 13}, {12, 16}, {13, 17},
                                  {14, 15}, {14, 17}, {15, 16}, {16, 17}}}},
        {ET::HEX8, 8, D::D3, std::pair{ET::VERTEX, Rows{{10}, {11}, {12}, {13}, {14}, {15}, {16}, {17}}}},
        {ET::HEX8, 8, D::D0, kHex},
        {ET::PHED, 4, D::D0, kNyi}, {ET::PHED, 4, D::D2, kNyi}, {ET::PHED, 4, D::D3, kNyi},
        {ET::VERTEX, 1, D::D1, kNyi}, {ET::SPLINE, 3, D::D1, kNyi}, {ET::QUAD8, 8, D::D1, kNyi},
        {ET::QUAD9, 9, D::D2, kNyi}, {ET::TET10, 10, D::D1, kNyi}, {ET::HEX21, 21, D::D3, kNyi},
        {ET::QUAD8, 8, D::D0, kNyi}, {ET::VERTEX, 1, D::D0, kNyi},
    };
    return t;
}

}  // namespace

TEST(Subentities, Table) {
    for (const Row& row : table()) {
        SCOPED_TRACE(std::string(name_of(row.type)) + " codim " + std::to_string(to_uint(row.codim)));
        std::vector<std::uint64_t> nodes = iota_nodes(row.nodes);
        if (auto* msg = std::get_if<const char*>(&row.expected)) {
            EXPECT_EQ(message_of(row.type, nodes, row.codim), *msg);
            continue;
        }
        const auto& [type, rows] = std::get<std::pair<ET, Rows>>(row.expected);
        SubentityList s = ElementTopo::subentities(row.type, nodes, row.codim);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].first, type);
        ASSERT_TRUE(s[0].second.is_regular());
        EXPECT_EQ(rows_of(s[0].second), rows);
    }
}

TEST(Subentities, ShortNodeListsAreRejected) {
    // Each list is one node short of what its table reads (a polygon needs one node for an edge).
    const std::pair<ET, D> cases[] = {{ET::SEG2, D::D1}, {ET::TRI3, D::D1}, {ET::TRI6, D::D1}, {ET::QUAD4, D::D2},
                                      {ET::TET4, D::D1}, {ET::HEX8, D::D1}, {ET::HEX8, D::D2}, {ET::HEX8, D::D3},
                                      {ET::PGON, D::D1}};
    for (auto [t, codim] : cases) {
        std::size_t needed = t == ET::PGON ? 1 : *num_nodes(t);
        std::vector<std::uint64_t> nodes = iota_nodes(needed - 1);
        std::string m = message_of(t, nodes, codim);
        EXPECT_NE(m.find("index out of range"), std::string::npos) << name_of(t) << ": " << m;
    }
    // Unsupported codimensions are reported as such even for short lists.
    EXPECT_EQ(message_of(ET::TRI6, iota_nodes(3), D::D3), kTri);
    // A longer row is fine: only the positions of the table are read.
    EXPECT_EQ(rows_of(ElementTopo::subentities(ET::TRI3, iota_nodes(5), D::D1)[0].second),
              (Rows{{10, 11}, {11, 12}, {12, 10}}));
}

TEST(Subentities, PolyhedronFaces) {
    const std::uint64_t S = kFaceSeparator;
    struct Case {
        std::vector<std::uint64_t> nodes;
        Rows faces;
    };
    const Case cases[] = {
        {{1, 2, 3, S, 4, 5, 6, 7, S}, {{1, 2, 3}, {4, 5, 6, 7}}},
        {{}, {}},
        {{1, 2, S, S, 3, S}, {{1, 2}, {}, {3}}},
        // without a final separator the last piece loses its last node
        {{1, 2, 3, S, 4, 5, 6}, {{1, 2, 3}, {4, 5}}},
        {{7}, {{}}},
    };
    for (const Case& c : cases) {
        SubentityList s = ElementTopo::subentities(ET::PHED, c.nodes, D::D1);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].first, ET::PGON);
        ASSERT_TRUE(s[0].second.is_poly());
        EXPECT_EQ(rows_of(s[0].second), c.faces);
        EXPECT_EQ(count_polyhedron_faces(c.nodes), c.faces.size());
        // offsets are end positions without a leading zero
        const IndirectIndex& ii = s[0].second.indirect();
        EXPECT_EQ(ii.offsets.size(), c.faces.size());
        ii.validate();
    }
}

TEST(SortedVecKey, EqualityIgnoresOrderButNotLengthOrRepetition) {
    EXPECT_EQ(SortedVecKey({3, 1, 2}), SortedVecKey({2, 3, 1}));
    EXPECT_NE(SortedVecKey({1, 1, 2}), SortedVecKey({1, 2}));
    EXPECT_NE(SortedVecKey({1, 2}), SortedVecKey({1, 2, 3}));
    EXPECT_EQ(SortedVecKey({3, 1, 2}).hash(), SortedVecKey({2, 3, 1}).hash());
    std::vector<std::uint64_t> face = {9, 4, 7, 1, 8, 2};
    SortedVecKey big(face);
    EXPECT_EQ(face, (std::vector<std::uint64_t>{9, 4, 7, 1, 8, 2}));
    EXPECT_EQ(std::vector<std::uint64_t>(big.values().begin(), big.values().end()),
              (std::vector<std::uint64_t>{1, 2, 4, 7, 8, 9}));
    // copies and moves of heap-held keys stay intact
    SortedVecKey copy = big, moved = std::move(big);
    EXPECT_EQ(copy, moved);
    copy = SortedVecKey({5});
    EXPECT_EQ(copy, SortedVecKey({5}));
    std::unordered_set<SortedVecKey> set = {SortedVecKey({1, 2}), SortedVecKey({2, 1}), moved, SortedVecKey({})};
    EXPECT_EQ(set.size(), 3u);
}
