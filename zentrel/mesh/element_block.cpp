#include "zentrel/mesh/element_block.hpp"

namespace zentrel {

ElementBlockBase ElementBlockBase::new_regular(ElementType cell_type, ArrayU64 connectivity,
                                               std::optional<ArrayU64> families,
                                               std::optional<FieldMap> fields) {
    if (connectivity.ndim() != 2)
        throw Error("a regular connectivity must be two-dimensional, got shape " +
                    shape_to_string(connectivity.shape()));
    ElementBlockBase b;
    b.cell_type = cell_type;
    std::size_t n = connectivity.extent(0);
    b.connectivity = ConnectivityBase::regular(std::move(connectivity));
    b.families = families ? std::move(*families) : ArrayU64::filled({n}, 0);
    if (fields) b.fields = std::move(*fields);
    return b;
}

ElementBlockBase ElementBlockBase::new_poly(ElementType cell_type, ArrayU64 data, ArrayU64 offsets) {
    if (data.ndim() != 1 || offsets.ndim() != 1)
        throw Error("a poly connectivity needs one-dimensional data and offsets");
    ElementBlockBase b;
    b.cell_type = cell_type;
    std::size_t n = offsets.size();
    b.connectivity = ConnectivityBase::poly(IndirectIndex(std::move(data), std::move(offsets)));
    b.families = ArrayU64::filled({n}, 0);
    return b;
}

ElementBlockBase ElementBlockBase::new_empty(ElementType cell_type) {
    ElementBlockBase b;
    b.cell_type = cell_type;
    if (auto w = num_nodes(cell_type))
        b.connectivity = ConnectivityBase::regular(ArrayU64::uninit({0, *w}));
    else
        b.connectivity = ConnectivityBase::poly(IndirectIndex(ArrayU64::uninit({0}), ArrayU64::uninit({0})));
    b.families = ArrayU64::uninit({0});
    return b;
}

}  // namespace zentrel
