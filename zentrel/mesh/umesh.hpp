#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element.hpp"
#include "zentrel/mesh/element_block.hpp"
#include "zentrel/mesh/element_ids.hpp"
#include "zentrel/mesh/field.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

using BlockMap = std::map<ElementType, ElementBlockBase>;

// Coordinates plus at most one block per element type, ordered by type code. Read-only
// access ("views") is a const reference; derived meshes share arrays copy-on-write.
class UMeshBase {
public:
    ArrayF64 coords;  // (nodes, space dimension)
    BlockMap element_blocks;

    UMeshBase() : coords(ArrayF64::uninit({0, 0})) {}
    // Fails unless coords is two-dimensional.
    explicit UMeshBase(ArrayF64 coords);

    std::size_t num_nodes() const { return coords.extent(0); }
    std::size_t space_dimension() const { return coords.extent(1); }

    // Inserts the block only if the type has none yet; an existing block stays as it is.
    void add_regular_block(ElementType cell_type, ArrayU64 connectivity, std::optional<FieldMap> fields = std::nullopt);
    void add_poly_block(ElementType cell_type, ArrayU64 data, ArrayU64 offsets);
    // Also inserts a fully built block, under the same rule (used by readers and algorithms).
    void add_block(ElementBlockBase block);

    // Fails, leaving the coordinates intact, when the point's length is not the space dimension.
    void append_coord(std::span<const double> point);

    // Fails before adding anything when field values are given: they are not supported.
    ElementId add_element(ElementType cell_type, std::span<const std::uint64_t> nodes,
                          const std::optional<FieldMap>& fields = std::nullopt);

    const ElementBlockBase& block(ElementType t) const;
    ElementBlockBase& block_mut(ElementType t);
    const ElementBlockBase* find_block(ElementType t) const;

    Element element(ElementId id) const;
    ElementMut element_mut(ElementId id);

    const ArrayU64& regular_connectivity(ElementType cell_type) const;

    // Read-only view: a const reference; derived meshes share arrays copy-on-write instead.
    const UMeshBase& view() const { return *this; }
    // Owning copy without families, fields or groups.
    UMeshBase to_shared() const;

    // Greatest element type present, if any.
    std::optional<ElementType> max_element_type() const;

    std::optional<FieldBase> field(const std::string& name, Dimension dim) const;
    // Checks every target type first, so a failure leaves the mesh untouched.
    void update_field(const std::string& name, const FieldBase& field);

    // Extraction and block replacement (extract.cpp).
    // New mesh sharing these coordinates, with the listed rows of each listed regular block in
    // list order; families reset to 0, no groups; fields taken along when with_fields.
    UMeshBase extract(const ElementIds& ids, bool with_fields) const;
    // Distinct node numbers referenced by any element, ascending.
    std::vector<std::uint64_t> used_nodes() const;
    // Moves other's blocks in, first removing every block of a dimension other has; the removed
    // blocks come back as a mesh with these coordinates, or none if nothing was removed.
    std::optional<UMeshBase> update(UMeshBase other);

    friend bool operator==(const UMeshBase&, const UMeshBase&) = default;
};

}  // namespace zentrel
