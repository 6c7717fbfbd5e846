#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>
#include <string>

#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/json_reader.hpp"
#include "zentrel/io/number_format.hpp"
#include "zentrel/io/yaml_reader.hpp"

using namespace zentrel;
using namespace zentrel::io;

namespace {

UMeshBase triangle_mesh() {
    UMeshBase m(ArrayF64::from_values({3, 2}, {0.0, 0.0, 1.0, 0.0, 0.0, 1.0}));
    m.add_regular_block(ElementType::TRI3, ArrayU64::from_values({1, 3}, {0, 1, 2}));
    return m;
}

UMeshBase coords_mesh(std::initializer_list<double> values) {
    return UMeshBase(ArrayF64::from_values({1, values.size()}, values));
}

std::string coords_json(const std::string& data, std::size_t n) {
    return "{\"coords\":{\"v\":1,\"dim\":[1," + std::to_string(n) + "],\"data\":[" + data +
           "]},\"element_blocks\":{}}";
}

// A mesh using every part of the document: regular and poly blocks, fields of several ranks,
// families, groups, names that need escaping or quoting.
UMeshBase rich_mesh() {
    UMeshBase m(ArrayF64::from_values({5, 3}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1.5e-7, -2.25, 1e300}));
    FieldMap f;
    f["rho"] = ArrayF64::from_values({2}, {0.5, -1.0});
    f["vec \"q\"\n"] = ArrayF64::from_values({2, 2}, {1, 2, 3, 4});
    m.add_regular_block(ElementType::QUAD4, ArrayU64::from_values({2, 4}, {0, 1, 2, 3, 1, 2, 3, 4}), f);
    m.add_regular_block(ElementType::SEG2, ArrayU64::from_values({1, 2}, {0, 4}));
    m.add_poly_block(ElementType::PGON, ArrayU64::vector(std::vector<std::uint64_t>{0, 1, 2, 1, 2, 3, 4}),
                     ArrayU64::vector(std::vector<std::uint64_t>{3, 7}));
    std::uint64_t S = std::numeric_limits<std::uint64_t>::max();
    m.add_poly_block(ElementType::PHED,
                     ArrayU64::vector(std::vector<std::uint64_t>{0, 1, 2, S, 0, 1, 3, S, 1, 2, 3, S, 0, 2, 3, S}),
                     ArrayU64::vector(std::vector<std::uint64_t>{16}));
    auto& q = m.block_mut(ElementType::QUAD4);
    q.families = ArrayU64::vector(std::vector<std::uint64_t>{3, 7});
    q.groups["left"] = {3};
    q.groups["all"] = {3, 7};
    q.groups["123"] = {};
    m.block_mut(ElementType::PGON).families = ArrayU64::vector(std::vector<std::uint64_t>{1, 2});
    m.block_mut(ElementType::PHED).groups["true"] = {0};
    return m;
}

}  // namespace

TEST(DocumentWriter, CompactExample) {
    EXPECT_EQ(to_json(triangle_mesh()),
              "{\"coords\":{\"v\":1,\"dim\":[3,2],\"data\":[0.0,0.0,1.0,0.0,0.0,1.0]},\"element_blocks\":{\"TRI3\":"
              "{\"cell_type\":\"TRI3\",\"connectivity\":{\"Regular\":{\"v\":1,\"dim\":[1,3],\"data\":[0,1,2]}},"
              "\"fields\":{},\"families\":{\"v\":1,\"dim\":[1],\"data\":[0]},\"groups\":{}}}}");
    EXPECT_EQ(to_json(UMeshBase(ArrayF64::uninit({0, 2}))),
              "{\"coords\":{\"v\":1,\"dim\":[0,2],\"data\":[]},\"element_blocks\":{}}");
}

TEST(DocumentWriter, PrettyLayout) {
    UMeshBase m(ArrayF64::from_values({1, 1}, {2.5}));
    m.add_poly_block(ElementType::PGON, ArrayU64::uninit({0}), ArrayU64::uninit({0}));
    m.block_mut(ElementType::PGON).groups["g"] = {4};
    EXPECT_EQ(to_json_pretty(m), R"({
  "coords": {
    "v": 1,
    "dim": [
      1,
      1
    ],
    "data": [
      2.5
    ]
  },
  "element_blocks": {
    "PGON": {
      "cell_type": "PGON",
      "connectivity": {
        "Poly": {
          "data": {
            "v": 1,
            "dim": [
              0
            ],
            "data": []
          },
          "offsets": {
            "v": 1,
            "dim": [
              0
            ],
            "data": []
          }
        }
      },
      "fields": {},
      "families": {
        "v": 1,
        "dim": [
          0
        ],
        "data": []
      },
      "groups": {
        "g": [
          4
        ]
      }
    }
  }
})");
}

TEST(DocumentWriter, BlocksInTypeOrder) {
    UMeshBase m(ArrayF64::uninit({0, 2}));
    m.add_regular_block(ElementType::QUAD4, ArrayU64::uninit({0, 4}));
    m.add_regular_block(ElementType::TRI3, ArrayU64::uninit({0, 3}));
    std::string s = to_json(m);
    EXPECT_LT(s.find("\"TRI3\""), s.find("\"QUAD4\""));
}

struct NumberCase {
    double value;
    const char* json;
    const char* yaml;
};

class NumberFormat : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberFormat, JsonAndYaml) {
    const NumberCase& c = GetParam();
    UMeshBase m = coords_mesh({c.value});
    EXPECT_EQ(to_json(m), coords_json(c.json, 1));
    std::string y = to_yaml(m);
    EXPECT_NE(y.find(std::string("\n    - ") + c.yaml + "\n"), std::string::npos) << y;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberFormat,
    ::testing::Values(NumberCase{0.1, "0.1", "0.1"}, NumberCase{1e20, "1e+20", "1e20"}, NumberCase{3, "3.0", "3.0"},
                      NumberCase{1e-5, "0.00001", "0.00001"}, NumberCase{1e-6, "1e-6", "1e-6"},
                      NumberCase{1.5e-7, "1.5e-7", "1.5e-7"}, NumberCase{1e15, "1000000000000000.0", "1000000000000000.0"},
                      NumberCase{1e16, "1e+16", "1e16"}, NumberCase{123456.789, "123456.789", "123456.789"},
                      NumberCase{-0.0, "-0.0", "-0.0"}, NumberCase{0.0, "0.0", "0.0"}, NumberCase{100, "100.0", "100.0"},
                      NumberCase{-2.5e-300, "-2.5e-300", "-2.5e-300"},
                      NumberCase{1.7976931348623157e308, "1.7976931348623157e+308", "1.7976931348623157e308"},
                      NumberCase{5e-324, "5e-324", "5e-324"}, NumberCase{0.1 + 0.2, "0.30000000000000004", "0.30000000000000004"},
                      NumberCase{std::nan(""), "null", ".nan"},
                      NumberCase{std::numeric_limits<double>::infinity(), "null", ".inf"},
                      NumberCase{-std::numeric_limits<double>::infinity(), "null", "-.inf"}));

TEST(DocumentWriter, StringEscapes) {
    UMeshBase m(ArrayF64::uninit({0, 1}));
    m.add_poly_block(ElementType::PGON, ArrayU64::uninit({0}), ArrayU64::uninit({0}));
    m.block_mut(ElementType::PGON).groups[std::string("a\"\\/\b\f\n\r\t\x01\x1f\x7f\xc3\xa9", 14)] = {};
    std::string s = to_json(m);
    EXPECT_NE(s.find(R"("a\"\\/\b\f\n\r\t\u0001\u001f)" "\x7f\xc3\xa9\":[]"), std::string::npos) << s;
}

// Every way a mesh is written reads back to the same mesh, and writing does not touch it.
TEST(DocumentRoundTrip, AllForms) {
    for (const UMeshBase& m : {triangle_mesh(), rich_mesh(), UMeshBase(ArrayF64::uninit({0, 2})),
                               UMeshBase(ArrayF64::uninit({0, 0}))}) {
        UMeshBase before = m;
        std::string compact = to_json(m), pretty = to_json_pretty(m), yaml = to_yaml(m);
        EXPECT_EQ(m, before);
        EXPECT_EQ(read_json(compact), m);
        EXPECT_EQ(read_json(pretty), m);
        EXPECT_EQ(read_yaml(yaml), m) << yaml;
        // JSON is also YAML.
        EXPECT_EQ(read_yaml(compact), m);
        EXPECT_EQ(to_json(read_json(compact)), compact);
        EXPECT_EQ(to_json_pretty(read_json(pretty)), pretty);
        EXPECT_EQ(to_yaml(read_yaml(yaml)), yaml);
    }
}

TEST(DocumentRoundTrip, NonFiniteValues) {
    UMeshBase m = coords_mesh({std::nan(""), std::numeric_limits<double>::infinity(), -1.0 / 0.0, 1.0});
    UMeshBase y = read_yaml(to_yaml(m));
    EXPECT_TRUE(std::isnan(y.coords[0]));
    EXPECT_EQ(y.coords[1], std::numeric_limits<double>::infinity());
    EXPECT_EQ(y.coords[2], -std::numeric_limits<double>::infinity());
    // The JSON writer stores every non-finite value as null, read back as NaN.
    UMeshBase j = read_json(to_json(m));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(j.coords[i]));
    EXPECT_EQ(j.coords[3], 1.0);
}

TEST(DocumentReader, AcceptedVariants) {
    std::string tri = to_json(triangle_mesh());
    struct Case {
        const char* name;
        std::string text;
    };
    const std::string block =
        R"({"groups":{},"families":{"data":[0],"dim":[1],"v":1},"fields":{},)"
        R"("connectivity":{"Regular":{"data":[0,1,2],"v":1,"dim":[1,3]}},"cell_type":"TRI3","extra":[{"a":null}]})";
    for (const Case& c : {
             Case{"members in any order",
                  R"({"element_blocks":{"TRI3":)" + block +
                      R"(},"coords":{"data":[0,0,1,0,0,1.0],"dim":[3,2],"v":1}})"},
             Case{"list forms",
                  R"([[1,[3,2],[0,0,1,0,0,1]],{"TRI3":["TRI3",{"Regular":[1,[1,3],[0,1,2]]},{},[1,[1],[0]],{}]}])"},
             Case{"extra root member", R"({"x":{"deep":[[[true,false,"s",-1.5e3]]]},)" + tri.substr(1)},
         }) {
        EXPECT_EQ(read_json(c.text), triangle_mesh()) << c.name;
        EXPECT_EQ(read_yaml(c.text), triangle_mesh()) << c.name;
    }
    EXPECT_EQ(read_json(" \n\t" + tri + " \r\n"), triangle_mesh());
}

TEST(DocumentReader, YamlSpecifics) {
    const char* yaml = R"(%YAML 1.1
---
coords: {v: 1, dim: [3, 2], data: [0, 0, 1., 0, .0e0, +1]}
element_blocks:
  TRI3:
    cell_type: "TRI3"
    connectivity: !Regular
      v: !!int 1
      dim: [1, 3]
      data: [0, 1, 2]
    fields: {"f": {v: 1, dim: [1], data: [.NaN]}}
    families: {v: 1, dim: [1], data: [0]}
    groups: {g: [5, 1]}
...
)";
    UMeshBase m = read_yaml(yaml);
    const auto& b = m.block(ElementType::TRI3);
    EXPECT_EQ(m.coords, triangle_mesh().coords);
    EXPECT_TRUE(std::isnan(b.fields.at("f")[0]));
    EXPECT_EQ(b.groups.at("g"), (std::set<std::uint64_t>{1, 5}));
}

struct BadDoc {
    const char* name;
    std::string text;
    std::string message;  // fragment the error must contain
};

class BadJson : public ::testing::TestWithParam<BadDoc> {};

std::string with_tri(const std::string& from, const std::string& to) {
    std::string s = to_json(triangle_mesh());
    std::size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    return s.replace(p, from.size(), to);
}

TEST_P(BadJson, Refused) {
    const BadDoc& c = GetParam();
    try {
        read_json(c.text);
        ADD_FAILURE() << c.name << ": accepted";
    } catch (const Error& e) {
        std::string msg = e.what();
        EXPECT_NE(msg.find(c.message), std::string::npos) << c.name << ": " << msg;
        EXPECT_NE(msg.find(" at line "), std::string::npos) << c.name << ": " << msg;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadJson,
    ::testing::Values(
        BadDoc{"version", with_tri("{\"v\":1,\"dim\":[3,2]", "{\"v\":2,\"dim\":[3,2]"), "unknown array version: 2"},
        BadDoc{"size", with_tri("\"dim\":[3,2]", "\"dim\":[2,2]"), "data and dimension must match in size"},
        BadDoc{"size overflow", with_tri("\"dim\":[3,2]", "\"dim\":[4294967296,4294967296]"),
               "data and dimension must match in size"},
        BadDoc{"rank", with_tri("\"dim\":[3,2]", "\"dim\":[6]"), "rank 2"},
        BadDoc{"missing groups", with_tri(",\"groups\":{}", ""), "missing member \"groups\""},
        BadDoc{"duplicate member", with_tri("\"groups\":{}", "\"groups\":{},\"groups\":{}"), "duplicate member \"groups\""},
        BadDoc{"array extra member", with_tri("{\"v\":1,\"dim\":[3,2]", "{\"w\":0,\"v\":1,\"dim\":[3,2]"),
               "unknown member \"w\""},
        BadDoc{"type name", with_tri("\"cell_type\":\"TRI3\"", "\"cell_type\":\"Tri3\""), "\"Tri3\", expected one of VERTEX"},
        BadDoc{"block key", with_tri("{\"TRI3\":", "{\"TRI9\":"), "TRI9"},
        BadDoc{"cell type mismatch", with_tri("\"cell_type\":\"TRI3\"", "\"cell_type\":\"QUAD4\""), "cell_type QUAD4"},
        BadDoc{"negative node", with_tri("[0,1,2]", "[0,-1,2]"), "unsigned integer"},
        BadDoc{"fractional node", with_tri("[0,1,2]", "[0,1.0,2]"), "unsigned integer"},
        BadDoc{"string number", with_tri("[0,1,2]", "[0,\"1\",2]"), "unsigned integer"},
        BadDoc{"null node", with_tri("[0,1,2]", "[0,null,2]"), "unsigned integer"},
        BadDoc{"families length", with_tri("\"dim\":[1],\"data\":[0]", "\"dim\":[2],\"data\":[0,0]"), "2 families for 1"},
        BadDoc{"poly for regular", with_tri("{\"Regular\":{\"v\":1,\"dim\":[1,3],\"data\":[0,1,2]}}",
                                            "{\"Poly\":{\"data\":{\"v\":1,\"dim\":[3],\"data\":[0,1,2]},"
                                            "\"offsets\":{\"v\":1,\"dim\":[1],\"data\":[3]}}}"),
               "Regular connectivity"},
        BadDoc{"variant", with_tri("\"Regular\"", "\"Irregular\""), "Irregular"},
        BadDoc{"trailing garbage", to_json(triangle_mesh()) + " x", "trailing"},
        BadDoc{"second document", to_json(triangle_mesh()) + "{}", "trailing"},
        BadDoc{"truncated", to_json(triangle_mesh()).substr(0, 60), ""},
        BadDoc{"unterminated string", to_json(triangle_mesh()).substr(0, 120), ""},
        BadDoc{"empty", "", ""},
        BadDoc{"scalar root", "12", "expected"},
        BadDoc{"invalid utf8", with_tri("\"cell_type\":\"TRI3\"", "\"cell_type\":\"TRI3\xff\""), "UTF-8"},
        BadDoc{"malformed skipped value", with_tri("\"groups\":{}", "\"groups\":{},\"x\":[1,,2]"), ""},
        BadDoc{"bad escape in skipped value", with_tri("\"groups\":{}", "\"groups\":{},\"x\":\"\\q\""), ""},
        BadDoc{"deep nesting", with_tri("\"groups\":{}", "\"groups\":{},\"x\":" + std::string(2000, '[') +
                                                            std::string(2000, ']')),
               "nesting"},
        BadDoc{"bad offsets", with_tri("{\"Regular\":{\"v\":1,\"dim\":[1,3],\"data\":[0,1,2]}}", "{}"),
               "single member"}));

TEST(JsonReader, PositionIsLineAndColumn) {
    std::string pretty = to_json_pretty(triangle_mesh());
    std::size_t p = pretty.find("\"v\": 1");
    pretty.replace(p, 6, "\"v\": 7");
    try {
        read_json(pretty);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "unknown array version: 7 at line 3 column 11");
    }
}

class BadYaml : public ::testing::TestWithParam<BadDoc> {};

TEST_P(BadYaml, Refused) {
    const BadDoc& c = GetParam();
    try {
        read_yaml(c.text);
        ADD_FAILURE() << c.name << ": accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
}

std::string yaml_tri(const std::string& from, const std::string& to) {
    std::string s = to_yaml(triangle_mesh());
    std::size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from << " in " << s;
    return s.replace(p, from.size(), to);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadYaml,
    ::testing::Values(
        BadDoc{"version", yaml_tri("v: 1", "v: 2"), "unknown array version: 2"},
        BadDoc{"alias", yaml_tri("coords:\n", "coords: &a\n") + "x: *a\n", "anchors"},
        BadDoc{"unknown tag", yaml_tri("!Regular", "!Irregular"), "!Irregular"},
        BadDoc{"tag elsewhere", yaml_tri("fields: {}", "fields: !Regular {}"), "unexpected tag"},
        BadDoc{"two documents", to_yaml(triangle_mesh()) + "---\n{}\n", "several YAML documents"},
        BadDoc{"quoted number", yaml_tri("v: 1", "v: \"1\""), "quoted"},
        BadDoc{"missing groups", yaml_tri("    groups: {}\n", ""), "missing member \"groups\""},
        BadDoc{"empty", "", "empty YAML document"},
        BadDoc{"syntax", "key: value: bad\n", "invalid YAML"},
        BadDoc{"invalid utf8", yaml_tri("TRI3", "TRI\xff"), "invalid YAML"},
        BadDoc{"deep nesting", "x: " + std::string(1500, '[') + std::string(1500, ']') + "\n", "nesting"},
        BadDoc{"inf in unsigned place", yaml_tri("v: 1", "v: .inf"), "unsigned integer"}));

// The fast path for short decimals must give exactly the general shortest-digits text.
TEST(NumberFormat, FastPathAgreesWithGeneralFormatting) {
    std::mt19937_64 rng(7);
    std::vector<double> values = {1.1, 1.1e3, 1.1e6, 1.1e9, 1.1e12, 1.1e15, 8546371.425, 1e-5, 4503599627370496.0, 0.1 + 0.2, 1e15 - 1};
    for (int i = 0; i < 300000; ++i) {
        double p10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e9, 1e12, 1e15, 1e17};
        std::uint64_t m = rng() >> (rng() % 64);
        double v = static_cast<double>(m) / p10[rng() % 11];
        values.push_back(v);
        values.push_back(std::nextafter(v, 0.0));
        values.push_back(std::nextafter(v, 1e300));
        values.push_back(std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 80)));
    }
    for (double t : {1.1, 1.1e3, 1.1e6, 1.1e9, 1.1e12, 1.1e15, 1e-5})
        for (int k = -3; k <= 3; ++k) values.push_back(t * (1 + k * 1e-16));
    for (double v : values) {
        for (double s : {v, -v}) {
            char fast[64], general[64];
            std::string a(fast, write_f64_json(fast, s)), b(general, write_f64_json_general(general, s));
            ASSERT_EQ(a, b) << std::hexfloat << s;
        }
    }
}
