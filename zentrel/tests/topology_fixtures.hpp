#pragma once

// Small meshes and a direct model of the sub-entity algorithms, shared by the topology tests.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "zentrel/element_traits/element_topo.hpp"
#include "zentrel/element_traits/subentity_table.hpp"
#include "zentrel/mesh/error.hpp"
#include "zentrel/mesh/umesh.hpp"
#include "zentrel/tools/grid.hpp"

namespace topo_test {

using namespace zentrel;
using Rows = std::vector<std::vector<std::uint64_t>>;
using Blocks = std::map<ElementType, Rows>;

inline ArrayU64 rows_array(std::size_t width, const Rows& rows) {
    std::vector<std::uint64_t> flat;
    for (const auto& r : rows) flat.insert(flat.end(), r.begin(), r.end());
    return ArrayU64::from_values({rows.size(), width}, flat);
}

inline UMeshBase mesh_of(std::size_t nodes, const Blocks& blocks) {
    UMeshBase m(ArrayF64::filled({nodes, 3}, 0.0));
    for (const auto& [t, rows] : blocks) {
        if (is_poly(t)) {
            IndirectIndex ii(ArrayU64::uninit({0}), ArrayU64::uninit({0}));
            for (const auto& r : rows) ii.push(r);
            m.add_poly_block(t, ii.data, ii.offsets);
        } else {
            m.add_regular_block(t, rows_array(*num_nodes(t), rows));
        }
    }
    return m;
}

inline UMeshBase grid(std::size_t nx, std::size_t ny, std::size_t nz) {
    RegularUMeshBuilder b;
    auto axis = [](std::size_t n) {
        std::vector<double> v(n + 1);
        for (std::size_t i = 0; i <= n; ++i) v[i] = static_cast<double>(i);
        return v;
    };
    b.add_axis(axis(nx));
    if (ny) b.add_axis(axis(ny));
    if (nz) b.add_axis(axis(nz));
    return b.build();
}

inline Blocks blocks_of(const UMeshBase& m) {
    Blocks out;
    for (const auto& [t, b] : m.element_blocks) {
        Rows& r = out[t];
        for (std::size_t i = 0; i < b.len(); ++i) r.emplace_back(b.connectivity.nodes(i).begin(), b.connectivity.nodes(i).end());
    }
    return out;
}

inline std::vector<std::uint64_t> sorted(std::span<const std::uint64_t> v) {
    std::vector<std::uint64_t> s(v.begin(), v.end());
    std::sort(s.begin(), s.end());
    return s;
}

// Direct transcription of the walk with an ordered map as the key table.
struct Model {
    Blocks descending, boundary;
};

inline Model model(const UMeshBase& m, Dimension src, Dimension codim) {
    struct Entry {
        std::size_t count = 0;
        ElementType type;
        std::vector<std::uint64_t> nodes;
        std::size_t order;
    };
    std::map<std::vector<std::uint64_t>, Entry> seen;
    std::vector<const Entry*> walk_order;
    Model out;
    for (const auto& [t, b] : m.element_blocks) {
        if (dimension_of(t) != src) continue;
        for (std::size_t i = 0; i < b.len(); ++i) {
            for (const auto& [st, conn] : ElementTopo::subentities(t, b.connectivity.nodes(i), codim)) {
                for (std::size_t k = 0; k < conn.len(); ++k) {
                    auto nodes = conn.nodes(k);
                    auto [it, fresh] = seen.try_emplace(sorted(nodes));
                    if (fresh) {
                        it->second.type = st;
                        it->second.nodes.assign(nodes.begin(), nodes.end());
                        it->second.order = walk_order.size();
                        walk_order.push_back(&it->second);
                        out.descending[st].push_back(it->second.nodes);
                    }
                    ++it->second.count;
                }
            }
        }
    }
    for (const Entry* e : walk_order)
        if (e->count == 1) out.boundary[e->type].push_back(e->nodes);
    return out;
}

inline std::string message_of(auto&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "<no error>";
}

}  // namespace topo_test
