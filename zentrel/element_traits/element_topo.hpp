#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "zentrel/mesh/connectivity.hpp"
#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/element_type.hpp"

namespace zentrel {

// (sub-entity type, connectivity with global node numbers), one pair per sub-entity type.
using SubentityList = std::vector<std::pair<ElementType, ConnectivityBase>>;

// Sub-entities of one element at a codimension counted down from the element's own dimension:
// for a volume D1 gives faces, D2 edges, D3 vertices. Rows follow the local tables; polyhedron
// faces come as a poly connectivity of PGON. The result owns its arrays. Bulk algorithms walk
// the same tables through for_each_subentity, which allocates nothing.
struct ElementTopo {
    static SubentityList subentities(const Element& element, Dimension codim);
    static SubentityList subentities(ElementType type, std::span<const std::uint64_t> nodes, Dimension codim);
};

}  // namespace zentrel
