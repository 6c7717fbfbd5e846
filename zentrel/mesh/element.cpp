#include "zentrel/mesh/element.hpp"

namespace zentrel {

std::string ElementId::debug_string() const {
    return "ElementId(" + std::string(name_of(type)) + ", " + std::to_string(index) + ")";
}

bool ElementLike::in_group(std::string_view name) const {
    const GroupMap& g = groups();
    auto it = g.find(std::string(name));
    if (it == g.end()) return false;
    return it->second.count(family()) != 0;
}

std::span<const double> coord_row(const ArrayF64& coords, std::uint64_t node) {
    std::size_t n = coords.ndim() == 0 ? 0 : coords.extent(0);
    if (node >= n)
        throw Error("node " + std::to_string(node) + " is out of range: the mesh has " + std::to_string(n) +
                    " nodes");
    return coords.row(node);
}

std::span<const double> Element::node_coords(std::size_t k) const {
    if (k >= nodes_.size())
        throw Error("local node " + std::to_string(k) + " is out of range for " + id_.debug_string());
    return coord_row(*coords_, nodes_[k]);
}

}  // namespace zentrel
