#include "zentrel/element_traits/element_topo.hpp"

#include "zentrel/element_traits/subentity_table.hpp"

namespace zentrel {

SubentityList ElementTopo::subentities(const Element& element, Dimension codim) {
    return subentities(element.type(), element.connectivity(), codim);
}

SubentityList ElementTopo::subentities(ElementType type, std::span<const std::uint64_t> nodes, Dimension codim) {
    SubentityRule rule = subentity_rule(type, codim);
    check_node_count(rule, nodes.size());
    SubentityList out;
    if (rule.kind == SubentityRule::Kind::PolyhedronFaces) {
        IndirectIndex faces(ArrayU64::uninit({0}), ArrayU64::uninit({0}));
        for_each_subentity(rule, nodes, [&](std::span<const std::uint64_t> face) { faces.push(face); });
        out.emplace_back(rule.type, ConnectivityBase::poly(std::move(faces)));
        return out;
    }
    std::size_t count = rule.count_for(nodes.size());
    ArrayU64 rows = ArrayU64::uninit({count, rule.width});
    std::uint64_t* dst = rows.data_mut();
    for_each_subentity(rule, nodes, [&](std::span<const std::uint64_t> sub) {
        for (std::uint64_t v : sub) *dst++ = v;
    });
    out.emplace_back(rule.type, ConnectivityBase::regular(std::move(rows)));
    return out;
}

}  // namespace zentrel
