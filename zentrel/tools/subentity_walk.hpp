#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "zentrel/element_traits/subentity_table.hpp"
#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

__extension__ typedef unsigned __int128 WideProduct;

// Every sub-entity of codimension codim of every element of dimension src, numbered in walk
// order: blocks in type order, elements in index order, sub-entities in table order. Building
// it checks every element (type, codimension, node-list length, offsets), so the algorithms
// that read it afterwards cannot fail half-way. Instances are decoded arithmetically from the
// mesh's own arrays; nothing is stored per instance except for polyhedron faces.
class SubentityWalk {
public:
    struct Part {
        ElementType element = ElementType::VERTEX;
        SubentityRule rule;
        std::uint64_t first_instance = 0;
        std::uint64_t num_instances = 0;
        std::uint64_t first_element = 0;  // walk position of the block's element 0
        std::uint64_t num_elements = 0;
        const std::uint64_t* data = nullptr;     // regular rows, or the poly data array
        std::size_t width = 0;                   // regular row width
        const std::uint64_t* offsets = nullptr;  // poly: end offset of each element
        // polyhedron faces: bounds of each face in data, and the end face of each element
        std::vector<std::uint64_t> face_begin, face_end, element_face_end;
        // Table: local / count as a multiply and shift (exact below 2^32), the hot decode step.
        std::uint64_t div_magic = 0;
        unsigned div_shift = 0;
        bool regular() const { return offsets == nullptr; }

        std::uint64_t element_of_local(std::uint64_t local) const {
            if (local >> 32) return local / rule.count;
            return static_cast<std::uint64_t>((static_cast<WideProduct>(local) * div_magic) >> div_shift);
        }
    };

    SubentityWalk(const UMeshBase& mesh, Dimension src, Dimension codim);

    std::uint64_t size() const { return size_; }
    std::uint64_t num_elements() const { return num_elements_; }
    const std::vector<Part>& parts() const { return parts_; }
    // Node count to size per-node tables by: the coordinate count. Node numbers read from the
    // data are not checked against it; users fold larger ones into range.
    std::uint64_t node_count_hint() const { return node_count_hint_; }
    // Whether every sub-entity has at most SubentityRule::kMaxWidth nodes.
    bool narrow() const { return narrow_; }

    const Part& part_of(std::uint64_t instance) const {
        if (parts_.size() == 1) return parts_[0];
        auto it = std::upper_bound(part_starts_.begin(), part_starts_.end(), instance);
        return parts_[static_cast<std::size_t>(it - part_starts_.begin()) - 1];
    }

    // Nodes of one instance in table order, gathered into buf (kMaxWidth entries) or pointing
    // into the mesh. Sets element to its block's element index.
    std::span<const std::uint64_t> nodes(const Part& p, std::uint64_t instance, std::uint64_t* buf,
                                         std::uint64_t& element) const {
        std::uint64_t local = instance - p.first_instance;
        using Kind = SubentityRule::Kind;
        switch (p.rule.kind) {
            case Kind::Table: {
                element = p.element_of_local(local);
                std::uint64_t r = local - element * p.rule.count;
                const std::uint64_t* row = p.data + element * p.width;
                const std::uint8_t* loc = p.rule.rows + r * p.rule.width;
                for (std::size_t j = 0; j < p.rule.width; ++j) buf[j] = row[loc[j]];
                return {buf, p.rule.width};
            }
            case Kind::PolygonEdges: {
                // Each polygon has as many edges as nodes: the instance is a position in data.
                element = static_cast<std::uint64_t>(
                    std::upper_bound(p.offsets, p.offsets + p.num_elements, local) - p.offsets);
                std::uint64_t begin = element == 0 ? 0 : p.offsets[element - 1];
                buf[0] = p.data[local];
                buf[1] = p.data[local + 1 == p.offsets[element] ? begin : local + 1];
                return {buf, 2};
            }
            case Kind::PolygonVertices:
                element = static_cast<std::uint64_t>(
                    std::upper_bound(p.offsets, p.offsets + p.num_elements, local) - p.offsets);
                return {p.data + local, 1};
            case Kind::PolyhedronFaces:
                element = static_cast<std::uint64_t>(
                    std::upper_bound(p.element_face_end.begin(), p.element_face_end.end(), local) -
                    p.element_face_end.begin());
                return {p.data + p.face_begin[local], p.face_end[local] - p.face_begin[local]};
        }
        return {};
    }

    // Nodes of an instance of a narrow walk as four words, the unused ones set to pad; returns
    // the node count. Keeps the hot grouping loop in registers.
    std::size_t narrow_nodes(const Part& p, std::uint64_t instance, std::uint64_t pad, std::uint64_t (&k)[4]) const {
        if (p.rule.kind == SubentityRule::Kind::Table) {
            std::uint64_t local = instance - p.first_instance;
            std::uint64_t element = p.element_of_local(local);
            std::uint64_t r = local - element * p.rule.count;
            const std::uint64_t* row = p.data + element * p.width;
            const std::uint8_t* loc = p.rule.rows + r * p.rule.width;
            const std::size_t w = p.rule.width;
            k[0] = row[loc[0]];
            k[1] = w > 1 ? row[loc[1]] : pad;
            k[2] = w > 2 ? row[loc[2]] : pad;
            k[3] = w > 3 ? row[loc[3]] : pad;
            return w;
        }
        std::uint64_t buf[SubentityRule::kMaxWidth], element;
        std::span<const std::uint64_t> n = nodes(p, instance, buf, element);
        for (std::size_t j = 0; j < 4; ++j) k[j] = j < n.size() ? n[j] : pad;
        return n.size();
    }

    // Walk position of the element that produced an instance.
    std::uint64_t element_of(std::uint64_t instance) const {
        const Part& p = part_of(instance);
        std::uint64_t local = instance - p.first_instance;
        using Kind = SubentityRule::Kind;
        std::uint64_t e = 0;
        if (p.rule.kind == Kind::Table)
            e = p.element_of_local(local);
        else if (p.rule.kind == Kind::PolyhedronFaces)
            e = static_cast<std::uint64_t>(
                std::upper_bound(p.element_face_end.begin(), p.element_face_end.end(), local) - p.element_face_end.begin());
        else
            e = static_cast<std::uint64_t>(std::upper_bound(p.offsets, p.offsets + p.num_elements, local) - p.offsets);
        return p.first_element + e;
    }

    // Element id at a walk position.
    ElementId element_id(std::uint64_t position) const {
        auto it = std::upper_bound(parts_.begin(), parts_.end(), position,
                                   [](std::uint64_t x, const Part& p) { return x < p.first_element; });
        const Part& p = *(it - 1);
        return {p.element, position - p.first_element};
    }

    // f(instance, nodes) for every instance of one part in walk order; nodes are valid during
    // the call.
    template <class F>
    void walk_part(const Part& p, F&& f) const {
        std::uint64_t buf[SubentityRule::kMaxWidth];
        std::uint64_t inst = p.first_instance;
        using Kind = SubentityRule::Kind;
        if (p.rule.kind == Kind::Table) {
            // A fixed width lets the gather unroll: this loop runs once per sub-entity.
            switch (p.rule.width) {
                case 1: walk_table<1>(p, f); break;
                case 2: walk_table<2>(p, f); break;
                case 3: walk_table<3>(p, f); break;
                case 4: walk_table<4>(p, f); break;
                default: {
                    const std::size_t count = p.rule.count, width = p.rule.width;
                    for (std::uint64_t e = 0; e < p.num_elements; ++e) {
                        const std::uint64_t* row = p.data + e * p.width;
                        for (std::size_t r = 0; r < count; ++r, ++inst) {
                            const std::uint8_t* loc = p.rule.rows + r * width;
                            for (std::size_t j = 0; j < width; ++j) buf[j] = row[loc[j]];
                            f(inst, std::span<const std::uint64_t>(buf, width));
                        }
                    }
                }
            }
        } else if (p.rule.kind == Kind::PolyhedronFaces) {
            for (std::uint64_t i = 0; i < p.num_instances; ++i, ++inst)
                f(inst, std::span<const std::uint64_t>(p.data + p.face_begin[i], p.face_end[i] - p.face_begin[i]));
        } else {
            for (std::uint64_t e = 0; e < p.num_elements; ++e) {
                std::uint64_t begin = e == 0 ? 0 : p.offsets[e - 1];
                for_each_subentity(p.rule, std::span<const std::uint64_t>(p.data + begin, p.offsets[e] - begin),
                                   [&](std::span<const std::uint64_t> sub) { f(inst++, sub); });
            }
        }
    }

    template <std::size_t W, class F>
    void walk_table(const Part& p, F& f) const {
        std::uint64_t buf[W];
        std::uint64_t inst = p.first_instance;
        const std::size_t count = p.rule.count;
        for (std::uint64_t e = 0; e < p.num_elements; ++e) {
            const std::uint64_t* row = p.data + e * p.width;
            const std::uint8_t* loc = p.rule.rows;
            for (std::size_t r = 0; r < count; ++r, ++inst, loc += W) {
                for (std::size_t j = 0; j < W; ++j) buf[j] = row[loc[j]];
                f(inst, std::span<const std::uint64_t, W>(buf, W));
            }
        }
    }

    template <class F>
    void walk(F&& f) const {
        for (const Part& p : parts_) walk_part(p, f);
    }

private:
    std::vector<Part> parts_;
    std::vector<std::uint64_t> part_starts_;
    std::uint64_t size_ = 0;
    std::uint64_t num_elements_ = 0;
    std::uint64_t node_count_hint_ = 0;
    bool narrow_ = true;
};

}  // namespace zentrel
