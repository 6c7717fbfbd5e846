#pragma once

// The document tree shared by the JSON and YAML readers. A reader R is a cursor over one value
// at a time:
//   NodeKind kind();                      kind of the current value
//   std::string_view tag();               its tag ("" in JSON), marking the tag as handled
//   void map(F f);  f(std::string_view)   each member; f consumes the member's value
//   void seq(F f);  f(std::size_t)        each element; f consumes it
//   std::uint64_t u64(); double f64(); std::string str(); void skip();
//   void list(NdArray<T>&);               a whole list of numbers, as a 1-D array
//   [[noreturn]] void fail(std::string);  throws with the position of the current value

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io::detail {

enum class NodeKind { Map, Seq, Scalar };

inline std::string quoted(std::string_view s) {
    std::string out(1, '"');
    out.append(s);
    out.push_back('"');
    return out;
}

// A structure written as a map (any member order, unknown members ignored or refused) or as
// a list of its members in declaration order. member(i) reads the i-th declared member.
template <class R, std::size_t N, class F>
void read_struct(R& r, const std::string_view (&names)[N], bool ignore_unknown, std::string_view what, F&& member) {
    std::bitset<N> seen;
    if (r.kind() == NodeKind::Seq) {
        std::size_t count = 0;
        r.seq([&](std::size_t i) {
            if (i >= N) r.fail("too many elements in " + std::string(what) + ", expected " + std::to_string(N));
            member(i);
            ++count;
        });
        if (count != N)
            r.fail("too few elements in " + std::string(what) + ", expected " + std::to_string(N));
        return;
    }
    r.map([&](std::string_view key) {
        for (std::size_t i = 0; i < N; ++i) {
            if (key != names[i]) continue;
            if (seen[i]) r.fail("duplicate member " + quoted(key) + " in " + std::string(what));
            seen[i] = true;
            member(i);
            return;
        }
        if (!ignore_unknown) r.fail("unknown member " + quoted(key) + " in " + std::string(what));
        r.skip();
    });
    for (std::size_t i = 0; i < N; ++i)
        if (!seen[i]) r.fail("missing member " + quoted(names[i]) + " in " + std::string(what));
}

// rank: required length of "dim", or none for any rank.
template <class T, class R>
NdArray<T> read_array_value(R& r, std::optional<std::size_t> rank) {
    static constexpr std::string_view names[] = {"v", "dim", "data"};
    Shape dim;
    NdArray<T> data;
    read_struct(r, names, false, "an array value", [&](std::size_t i) {
        if (i == 0) {
            std::uint64_t v = r.u64();
            if (v != 1) r.fail("unknown array version: " + std::to_string(v));
        } else if (i == 1) {
            r.seq([&](std::size_t) { dim.push_back(r.u64()); });
        } else {
            r.list(data);
        }
    });
    if (rank && dim.size() != *rank)
        r.fail("expected an array of rank " + std::to_string(*rank) + ", got rank " + std::to_string(dim.size()));
    std::size_t n = 1;
    bool overflow = false;
    for (std::size_t e : dim) {
        if (e != 0 && n > SIZE_MAX / e) overflow = true;
        n *= e;
    }
    bool empty = false;
    for (std::size_t e : dim) empty = empty || e == 0;
    if ((overflow && !empty) || (empty ? 0 : n) != data.size()) r.fail("data and dimension must match in size");
    data.reshape(std::move(dim));
    return data;
}

template <class R>
ElementType read_type_name(R& r, std::string_view name) {
    if (auto t = try_element_type_from_name(name)) return *t;
    std::string msg = "unknown element type " + quoted(name) + ", expected one of ";
    for (std::size_t i = 0; i < kNumElementTypes; ++i) {
        if (i) msg += ", ";
        msg += name_of(kAllElementTypes[i]);
    }
    r.fail(msg);
}

template <class R>
ConnectivityBase read_poly(R& r) {
    static constexpr std::string_view names[] = {"data", "offsets"};
    ArrayU64 data, offsets;
    read_struct(r, names, true, "a poly connectivity", [&](std::size_t i) {
        (i == 0 ? data : offsets) = read_array_value<std::uint64_t>(r, 1);
    });
    IndirectIndex index(std::move(data), std::move(offsets));
    // Offsets that do not describe the data would only fail far from here, on first use.
    try {
        index.validate();
    } catch (const Error& e) {
        r.fail(e.what());
    }
    return ConnectivityBase::poly(std::move(index));
}

template <class R>
ConnectivityBase read_connectivity(R& r) {
    std::string_view tag = r.tag();
    if (tag == "!Regular") return ConnectivityBase::regular(read_array_value<std::uint64_t>(r, 2));
    if (tag == "!Poly") return read_poly(r);
    if (!tag.empty()) r.fail("unknown tag " + quoted(tag) + " for a connectivity, expected !Regular or !Poly");
    if (r.kind() != NodeKind::Map) r.fail("expected a connectivity object with a single member Regular or Poly");
    std::optional<ConnectivityBase> c;
    r.map([&](std::string_view key) {
        if (c) r.fail("a connectivity object must have a single member");
        if (key == "Regular")
            c = ConnectivityBase::regular(read_array_value<std::uint64_t>(r, 2));
        else if (key == "Poly")
            c = read_poly(r);
        else
            r.fail("unknown connectivity variant " + quoted(key) + ", expected Regular or Poly");
    });
    if (!c) r.fail("expected a connectivity object with a single member Regular or Poly");
    return std::move(*c);
}

template <class R>
ElementBlockBase read_block(R& r, ElementType key) {
    static constexpr std::string_view names[] = {"cell_type", "connectivity", "fields", "families", "groups"};
    ElementBlockBase b;
    read_struct(r, names, true, "an element block", [&](std::size_t i) {
        switch (i) {
            case 0: {
                std::string name = r.str();
                b.cell_type = read_type_name(r, name);
                break;
            }
            case 1: b.connectivity = read_connectivity(r); break;
            case 2:
                r.map([&](std::string_view name) {
                    std::string owned(name);
                    if (b.fields.count(owned)) r.fail("duplicate field " + quoted(name));
                    b.fields.emplace(std::move(owned), read_array_value<double>(r, std::nullopt));
                });
                break;
            case 3: b.families = read_array_value<std::uint64_t>(r, 1); break;
            case 4:
                r.map([&](std::string_view name) {
                    std::string owned(name);
                    if (b.groups.count(owned)) r.fail("duplicate group " + quoted(name));
                    auto& fams = b.groups[std::move(owned)];
                    r.seq([&](std::size_t) { fams.insert(r.u64()); });
                });
                break;
        }
    });
    // A block stored under another type's name, or whose connectivity form does not suit its
    // type, would break every algorithm that walks the blocks.
    std::string_view name = name_of(key);
    if (b.cell_type != key)
        r.fail("the block " + std::string(name) + " has cell_type " + std::string(name_of(b.cell_type)));
    if (b.connectivity.is_poly() != is_poly(key))
        r.fail("the block " + std::string(name) + " needs a " + (is_poly(key) ? "Poly" : "Regular") +
               " connectivity");
    if (b.families.size() != b.len())
        r.fail("the block " + std::string(name) + " has " + std::to_string(b.families.size()) + " families for " +
               std::to_string(b.len()) + " elements");
    return b;
}

template <class R>
UMeshBase read_document(R& r) {
    static constexpr std::string_view names[] = {"coords", "element_blocks"};
    ArrayF64 coords = ArrayF64::uninit({0, 0});
    BlockMap blocks;
    read_struct(r, names, true, "the mesh document", [&](std::size_t i) {
        if (i == 0) {
            coords = read_array_value<double>(r, 2);
            return;
        }
        r.map([&](std::string_view name) {
            ElementType t = read_type_name(r, name);
            if (blocks.count(t)) r.fail("duplicate element block " + std::string(name));
            blocks.emplace(t, read_block(r, t));
        });
    });
    UMeshBase mesh(std::move(coords));
    mesh.element_blocks = std::move(blocks);
    return mesh;
}

}  // namespace zentrel::io::detail
