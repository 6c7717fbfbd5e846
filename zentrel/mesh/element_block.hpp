#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "zentrel/mesh/connectivity.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

using FieldMap = std::map<std::string, ArrayF64>;
using GroupMap = std::map<std::string, std::set<std::uint64_t>>;

// All elements of one cell type, with their fields, families and groups.
struct ElementBlockBase {
    ElementType cell_type = ElementType::VERTEX;
    ConnectivityBase connectivity;
    FieldMap fields;
    ArrayU64 families;
    GroupMap groups;

    // The row width is not checked against the type here; families default to zeros.
    static ElementBlockBase new_regular(ElementType cell_type, ArrayU64 connectivity,
                                        std::optional<ArrayU64> families = std::nullopt,
                                        std::optional<FieldMap> fields = std::nullopt);
    static ElementBlockBase new_poly(ElementType cell_type, ArrayU64 data, ArrayU64 offsets);
    // An empty block of the type: zero rows of the type's width, or an empty index.
    static ElementBlockBase new_empty(ElementType cell_type);

    std::size_t len() const { return connectivity.len(); }

    friend bool operator==(const ElementBlockBase&, const ElementBlockBase&) = default;
};

}  // namespace zentrel
