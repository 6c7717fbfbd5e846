#include "zentrel/mesh/dimension.hpp"

#include "zentrel/mesh/error.hpp"

namespace zentrel {

Dimension dimension_from_uint(std::uint64_t i) {
    if (i > 3) throw Error("i is higher than 3, could not convert into a dimension");
    return static_cast<Dimension>(i);
}

Dimension dimension_minus(Dimension d, std::uint64_t k) { return dimension_from_uint(to_uint(d) - k); }

Dimension dimension_plus(Dimension d, std::uint64_t k) { return dimension_from_uint(to_uint(d) + k); }

}  // namespace zentrel
