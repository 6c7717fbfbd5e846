#include "zentrel/mesh/connectivity.hpp"

#include <string>

namespace zentrel {

std::size_t ConnectivityBase::len() const {
    if (is_regular()) return regular_array().ndim() == 0 ? 0 : regular_array().extent(0);
    return indirect().len();
}

std::span<const std::uint64_t> ConnectivityBase::nodes(std::size_t i) const {
    if (!is_regular()) return indirect().item(i);
    const ArrayU64& a = regular_array();
    if (i >= len())
        throw Error("element " + std::to_string(i) + " is out of bounds for a block of " + std::to_string(len()) +
                    " elements");
    return a.row(i);
}

std::span<std::uint64_t> ConnectivityBase::nodes_mut(std::size_t i) {
    if (!is_regular()) return indirect_mut().item_mut(i);
    if (i >= len())
        throw Error("element " + std::to_string(i) + " is out of bounds for a block of " + std::to_string(len()) +
                    " elements");
    return regular_array_mut().row_mut(i);
}

void ConnectivityBase::push(std::span<const std::uint64_t> nodes) {
    if (is_regular())
        regular_array_mut().append_row(nodes);
    else
        indirect_mut().push(nodes);
}

bool operator==(const ConnectivityBase& a, const ConnectivityBase& b) {
    if (a.is_regular() != b.is_regular()) return false;
    if (a.is_regular()) return a.regular_array() == b.regular_array();
    return a.indirect() == b.indirect();
}

}  // namespace zentrel
