#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "zentrel/mesh/element_block.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

struct ElementId {
    ElementType type = ElementType::VERTEX;
    std::uint64_t index = 0;

    ElementId() = default;
    ElementId(ElementType t, std::uint64_t i) : type(t), index(i) {}

    friend bool operator==(const ElementId&, const ElementId&) = default;
    friend std::strong_ordering operator<=>(const ElementId&, const ElementId&) = default;

    // "ElementId(TRI3, 5)"
    std::string debug_string() const;
};

// Interface of element views.
class ElementLike {
public:
    virtual ~ElementLike() = default;
    virtual ElementId id() const = 0;
    virtual std::span<const std::uint64_t> connectivity() const = 0;
    virtual std::uint64_t family() const = 0;
    virtual const GroupMap& groups() const = 0;

    // False when the block has no such group, else whether the family is in the group's set.
    bool in_group(std::string_view name) const;
};

// Read-only view of one element, valid while its mesh is not modified.
class Element : public ElementLike {
public:
    Element(ElementId id, std::span<const std::uint64_t> nodes, const ArrayF64& coords, const std::uint64_t& family,
            const GroupMap& groups)
        : id_(id), nodes_(nodes), coords_(&coords), family_(&family), groups_(&groups) {}

    ElementId id() const override { return id_; }
    ElementType type() const { return id_.type; }
    std::uint64_t index() const { return id_.index; }
    std::span<const std::uint64_t> connectivity() const override { return nodes_; }
    std::uint64_t family() const override { return *family_; }
    const GroupMap& groups() const override { return *groups_; }
    const ArrayF64& coords() const { return *coords_; }

    // Coordinates of the node at local position k; the node number is checked against the
    // coordinate array, so a bad number read from a file fails instead of reading past it.
    std::span<const double> node_coords(std::size_t k) const;

private:
    ElementId id_;
    std::span<const std::uint64_t> nodes_;
    const ArrayF64* coords_;
    const std::uint64_t* family_;
    const GroupMap* groups_;
};

// Mutable view: node list and family can be changed in place.
class ElementMut {
public:
    ElementMut(ElementId id, std::span<std::uint64_t> nodes, std::uint64_t& family)
        : id_(id), nodes_(nodes), family_(&family) {}
    ElementId id() const { return id_; }
    std::span<std::uint64_t> connectivity() const { return nodes_; }
    std::uint64_t& family() const { return *family_; }

private:
    ElementId id_;
    std::span<std::uint64_t> nodes_;
    std::uint64_t* family_;
};

// Row of the coordinate array for a node number read from data: checked.
std::span<const double> coord_row(const ArrayF64& coords, std::uint64_t node);

}  // namespace zentrel

template <>
struct std::hash<zentrel::ElementId> {
    std::size_t operator()(const zentrel::ElementId& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.index * 31 + static_cast<std::uint64_t>(id.type));
    }
};
