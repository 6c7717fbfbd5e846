#include "zentrel/tools/boundaries.hpp"

#include <vector>

#include "zentrel/tools/key_groups.hpp"
#include "zentrel/tools/scratch_array.hpp"
#include "zentrel/tools/src_target_codim.hpp"
#include "zentrel/tools/sub_mesh_builder.hpp"
#include "zentrel/tools/subentity_walk.hpp"

namespace zentrel {

namespace {

class SingleOwner final : public KeyGroupSink {
public:
    explicit SingleOwner(std::uint8_t* keep) : KeyGroupSink(false), keep_(keep) {}
    void head(std::uint64_t first, std::size_t count) override {
        if (count == 1) keep_[first] = 1;
    }

private:
    std::uint8_t* keep_;
};

}  // namespace

UMeshBase compute_submesh_with_n_neighbours(const UMeshBase& mesh, std::optional<Dimension> src_dim,
                                            std::optional<Dimension> target_dim) {
    auto [src, target, codim] = compute_src_target_codim(mesh, src_dim, target_dim);
    SubentityWalk walk(mesh, src, codim);
    ScratchArray<std::uint8_t> keep = ScratchArray<std::uint8_t>::zeroed(walk.size());
    SingleOwner sink(keep.data());
    group_by_key(walk, sink);
    return build_sub_mesh(mesh, walk, keep.data());
}

}  // namespace zentrel
