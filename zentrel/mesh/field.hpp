#pragma once

#include <map>
#include <string>

#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

// Element type -> float64 array whose first axis runs over the elements of that type's block.
// Never empty. Arrays share storage copy-on-write, so holding a field taken from a mesh costs
// no copy and never aliases a later change of the mesh.
class FieldBase {
public:
    using Map = std::map<ElementType, ArrayF64>;

    // Fails with "A field should not be empty." on an empty map.
    static FieldBase new_(Map map);

    const Map& map() const { return map_; }
    Map& map_mut() { return map_; }
    Map into_map() && { return std::move(map_); }

    // Fails unless both fields cover the same element types.
    void panic_if_incompatible_with(const FieldBase& other) const;

    // "[TRI3, QUAD4]"
    std::string types_string() const;

    friend bool operator==(const FieldBase&, const FieldBase&) = default;

private:
    explicit FieldBase(Map map) : map_(std::move(map)) {}
    Map map_;
};

}  // namespace zentrel
