#include "zentrel/tools/subentity_walk.hpp"

#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

namespace {

// The offsets must describe items that lie inside data; inconsistent offsets read from a file
// are reported instead of followed.
void check_offsets(const IndirectIndex& ii, ElementType t) {
    std::uint64_t prev = 0;
    for (std::size_t i = 0; i < ii.offsets.size(); ++i) {
        std::uint64_t end = ii.offsets[i];
        if (end < prev || end > ii.data.size())
            throw Error("invalid offsets in the " + std::string(name_of(t)) + " block: element " + std::to_string(i) +
                        " spans [" + std::to_string(prev) + ", " + std::to_string(end) + ") of " +
                        std::to_string(ii.data.size()) + " values");
        prev = end;
    }
}

}  // namespace

SubentityWalk::SubentityWalk(const UMeshBase& mesh, Dimension src, Dimension codim)
    : node_count_hint_(mesh.num_nodes()) {
    for (const auto& [t, b] : mesh.element_blocks) {
        if (dimension_of(t) != src) continue;
        std::uint64_t n = b.len();
        if (n == 0) continue;
        Part p;
        p.element = t;
        p.rule = subentity_rule(t, codim);
        if (p.rule.kind == SubentityRule::Kind::Table) {
            unsigned l = 0;
            while ((std::uint64_t{1} << l) < p.rule.count) ++l;
            p.div_shift = 32 + l;
            p.div_magic = ((std::uint64_t{1} << p.div_shift) + p.rule.count - 1) / p.rule.count;
        }
        p.first_instance = size_;
        p.first_element = num_elements_;
        p.num_elements = n;
        using Kind = SubentityRule::Kind;
        if (b.connectivity.is_regular()) {
            const ArrayU64& a = b.connectivity.regular_array();
            p.data = a.data();
            p.width = a.extent(1);
            check_node_count(p.rule, p.width);
            p.num_instances = n * p.rule.count;
        } else {
            const IndirectIndex& ii = b.connectivity.indirect();
            check_offsets(ii, t);
            p.data = ii.data.data();
            p.offsets = ii.offsets.data();
            std::uint64_t used = ii.offsets[n - 1];
            if (p.rule.kind == Kind::PolyhedronFaces) {
                narrow_ = false;
                p.element_face_end.reserve(n);
                for (std::uint64_t e = 0; e < n; ++e) {
                    std::uint64_t begin = e == 0 ? 0 : p.offsets[e - 1];
                    std::span<const std::uint64_t> list(p.data + begin, p.offsets[e] - begin);
                    for_each_subentity(p.rule, list, [&](std::span<const std::uint64_t> face) {
                        std::uint64_t fb = static_cast<std::uint64_t>(face.data() - p.data);
                        p.face_begin.push_back(fb);
                        p.face_end.push_back(fb + face.size());
                    });
                    p.element_face_end.push_back(p.face_begin.size());
                }
                p.num_instances = p.face_begin.size();
            } else {
                for (std::uint64_t e = 0; e < n; ++e)
                    check_node_count(p.rule, p.offsets[e] - (e == 0 ? 0 : p.offsets[e - 1]));
                p.num_instances = used;
            }
        }
        size_ += p.num_instances;
        num_elements_ += n;
        part_starts_.push_back(p.first_instance);
        parts_.push_back(std::move(p));
    }
}

}  // namespace zentrel
