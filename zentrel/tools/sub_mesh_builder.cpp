#include "zentrel/tools/sub_mesh_builder.hpp"

#include <map>

#include "zentrel/tools/key_groups.hpp"
#include "zentrel/tools/scratch_array.hpp"
#include "zentrel/tools/src_target_codim.hpp"

namespace zentrel {

namespace {

struct Output {
    std::uint64_t count = 0;
    std::uint64_t nodes = 0;  // poly output only
    ArrayU64 rows;
    std::uint64_t* cursor = nullptr;
    ArrayU64 data, offsets;
    std::uint64_t* data_cursor = nullptr;
    std::uint64_t* offset_cursor = nullptr;
    bool ready = false, poly = false;
};

}  // namespace

UMeshBase build_sub_mesh(const UMeshBase& source, const SubentityWalk& walk, const std::uint8_t* keep) {
    std::map<ElementType, Output> outs;
    for (const SubentityWalk::Part& p : walk.parts()) {
        Output& o = outs[p.rule.type];
        const std::uint8_t* k = keep + p.first_instance;
        std::uint64_t c = 0;
        for (std::uint64_t i = 0; i < p.num_instances; ++i) c += k[i] != 0;
        o.count += c;
        if (p.rule.kind == SubentityRule::Kind::PolyhedronFaces)
            for (std::uint64_t i = 0; i < p.num_instances; ++i)
                if (k[i]) o.nodes += p.face_end[i] - p.face_begin[i];
    }
    for (const SubentityWalk::Part& p : walk.parts()) {
        Output& o = outs[p.rule.type];
        if (o.count == 0 || o.ready) continue;
        o.ready = true;
        o.poly = p.rule.kind == SubentityRule::Kind::PolyhedronFaces;
        if (o.poly) {
            o.data = ArrayU64::uninit({o.nodes});
            o.offsets = ArrayU64::uninit({o.count});
            o.data_cursor = o.data.data_mut();
            o.offset_cursor = o.offsets.data_mut();
        } else {
            o.rows = ArrayU64::uninit({o.count, p.rule.width});
            o.cursor = o.rows.data_mut();
        }
    }
    // Only kept instances are decoded: a boundary keeps a small share of all sub-entities.
    std::uint64_t buf[SubentityRule::kMaxWidth], element;
    for (const SubentityWalk::Part& p : walk.parts()) {
        Output& o = outs[p.rule.type];
        if (o.count == 0) continue;
        const std::uint8_t* k = keep + p.first_instance;
        std::uint64_t* base = o.poly ? o.data.data_mut() : nullptr;
        for (std::uint64_t i = 0; i < p.num_instances; ++i) {
            if (!k[i]) continue;
            std::span<const std::uint64_t> nodes = walk.nodes(p, p.first_instance + i, buf, element);
            if (o.poly) {
                for (std::uint64_t v : nodes) *o.data_cursor++ = v;
                *o.offset_cursor++ = static_cast<std::uint64_t>(o.data_cursor - base);
            } else {
                for (std::uint64_t v : nodes) *o.cursor++ = v;
            }
        }
    }
    UMeshBase out(source.coords);
    for (auto& [t, o] : outs) {
        if (o.count == 0) continue;
        if (o.poly)
            out.add_block(ElementBlockBase::new_poly(t, std::move(o.data), std::move(o.offsets)));
        else
            out.add_block(ElementBlockBase::new_regular(t, std::move(o.rows)));
    }
    return out;
}

namespace {

class KeptInstances final : public KeyGroupSink {
public:
    KeptInstances(std::uint8_t* keep, KeepRule rule) : KeyGroupSink(false), keep_(keep), rule_(rule) {}
    void head(std::uint64_t first, std::size_t count) override {
        if (rule_ == KeepRule::FirstOfEachKey || count == 1) keep_[first] = 1;
    }

private:
    std::uint8_t* keep_;
    KeepRule rule_;
};

}  // namespace

UMeshBase build_kept_subentities(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                 std::optional<Dimension> target_dim, KeepRule rule) {
    auto [src, target, codim] = compute_src_target_codim(mesh, src_dim, target_dim);
    SubentityWalk walk(mesh, src, codim);
    ScratchArray<std::uint8_t> keep = ScratchArray<std::uint8_t>::zeroed(walk.size());
    KeptInstances sink(keep.data(), rule);
    group_by_key(walk, sink);
    return build_sub_mesh(mesh, walk, keep.data());
}

}  // namespace zentrel
