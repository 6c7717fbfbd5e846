#include "zentrel/mesh/umesh.hpp"

#include <string>

namespace zentrel {

UMeshBase::UMeshBase(ArrayF64 c) : coords(std::move(c)) {
    if (coords.ndim() != 2)
        throw Error("coordinates must be a two-dimensional array, got shape " + shape_to_string(coords.shape()));
}

void UMeshBase::add_block(ElementBlockBase block) {
    element_blocks.try_emplace(block.cell_type, std::move(block));
}

void UMeshBase::add_regular_block(ElementType cell_type, ArrayU64 connectivity, std::optional<FieldMap> fields) {
    if (element_blocks.count(cell_type)) return;
    add_block(ElementBlockBase::new_regular(cell_type, std::move(connectivity), std::nullopt, std::move(fields)));
}

void UMeshBase::add_poly_block(ElementType cell_type, ArrayU64 data, ArrayU64 offsets) {
    if (element_blocks.count(cell_type)) return;
    add_block(ElementBlockBase::new_poly(cell_type, std::move(data), std::move(offsets)));
}

void UMeshBase::append_coord(std::span<const double> point) {
    if (point.size() != space_dimension())
        throw Error("cannot append a point of " + std::to_string(point.size()) +
                    " coordinates to a mesh of space dimension " + std::to_string(space_dimension()));
    coords.append_row(point);
}

ElementId UMeshBase::add_element(ElementType cell_type, std::span<const std::uint64_t> nodes,
                                 const std::optional<FieldMap>& fields) {
    auto width = zentrel::num_nodes(cell_type);
    if (width && nodes.size() != *width)
        throw Error("Connectivity length does not match the number of nodes for element type " +
                    std::string(name_of(cell_type)));
    if (fields) throw Error("not yet implemented");
    auto it = element_blocks.find(cell_type);
    if (it == element_blocks.end()) it = element_blocks.emplace(cell_type, ElementBlockBase::new_empty(cell_type)).first;
    ElementBlockBase& b = it->second;
    std::uint64_t index = b.len();
    if (b.families.ndim() != 1) throw Error("the families of the " + std::string(name_of(cell_type)) + " block are not one-dimensional");
    b.connectivity.push(nodes);
    std::uint64_t zero = 0;
    b.families.append_row(std::span<const std::uint64_t>(&zero, 1));
    return {cell_type, index};
}

const ElementBlockBase* UMeshBase::find_block(ElementType t) const {
    auto it = element_blocks.find(t);
    return it == element_blocks.end() ? nullptr : &it->second;
}

const ElementBlockBase& UMeshBase::block(ElementType t) const {
    if (const ElementBlockBase* b = find_block(t)) return *b;
    throw Error("Element is not in the mesh.");
}

ElementBlockBase& UMeshBase::block_mut(ElementType t) {
    auto it = element_blocks.find(t);
    if (it == element_blocks.end()) throw Error("Element is not in the mesh.");
    return it->second;
}

Element UMeshBase::element(ElementId id) const {
    const ElementBlockBase& b = block(id.type);
    auto nodes = b.connectivity.nodes(id.index);
    if (id.index >= b.families.size())
        throw Error("no family stored for " + id.debug_string());
    return Element(id, nodes, coords, b.families.data()[id.index], b.groups);
}

ElementMut UMeshBase::element_mut(ElementId id) {
    ElementBlockBase& b = block_mut(id.type);
    if (id.index >= b.families.size())
        throw Error("no family stored for " + id.debug_string());
    auto nodes = b.connectivity.nodes_mut(id.index);
    return ElementMut(id, nodes, b.families.data_mut()[id.index]);
}

const ArrayU64& UMeshBase::regular_connectivity(ElementType cell_type) const {
    const ElementBlockBase* b = find_block(cell_type);
    if (!b) throw Error("Element is not in the mesh.");
    if (!b->connectivity.is_regular())
        throw Error("This element type has poly connectivity, please use poly_connectivity(et) method.");
    return b->connectivity.regular_array();
}

UMeshBase UMeshBase::to_shared() const {
    UMeshBase m(coords);
    for (const auto& [t, b] : element_blocks) {
        if (b.connectivity.is_regular())
            m.element_blocks.emplace(t, ElementBlockBase::new_regular(t, b.connectivity.regular_array()));
        else
            m.element_blocks.emplace(
                t, ElementBlockBase::new_poly(t, b.connectivity.indirect().data, b.connectivity.indirect().offsets));
    }
    return m;
}

std::optional<ElementType> UMeshBase::max_element_type() const {
    if (element_blocks.empty()) return std::nullopt;
    return element_blocks.rbegin()->first;
}

std::optional<FieldBase> UMeshBase::field(const std::string& name, Dimension dim) const {
    FieldBase::Map map;
    for (const auto& [t, b] : element_blocks) {
        if (dimension_of(t) != dim) continue;
        auto it = b.fields.find(name);
        if (it == b.fields.end()) return std::nullopt;
        map.emplace(t, it->second);
    }
    return FieldBase::new_(std::move(map));
}

void UMeshBase::update_field(const std::string& name, const FieldBase& field) {
    auto top = max_element_type();
    if (!top) throw Error("This mesh should not be empty");
    Dimension dim = dimension_of(*top);
    for (const auto& [t, b] : element_blocks)
        if (dimension_of(t) == dim && !field.map().count(t))
            throw Error("The field " + name + " has no values for element type " + std::string(name_of(t)) +
                        ", which the mesh has in dimension " + std::to_string(to_uint(dim)));
    for (auto& [t, b] : element_blocks)
        if (dimension_of(t) == dim) b.fields.insert_or_assign(name, field.map().at(t));
}

}  // namespace zentrel
