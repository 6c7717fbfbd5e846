#include "zentrel/mesh/field.hpp"

#include "zentrel/mesh/error.hpp"

namespace zentrel {

FieldBase FieldBase::new_(Map map) {
    if (map.empty()) throw Error("A field should not be empty.");
    return FieldBase(std::move(map));
}

std::string FieldBase::types_string() const {
    std::string s = "[";
    bool first = true;
    for (const auto& [t, _] : map_) {
        if (!first) s += ", ";
        first = false;
        s += name_of(t);
    }
    return s + "]";
}

void FieldBase::panic_if_incompatible_with(const FieldBase& other) const {
    bool same = map_.size() == other.map_.size();
    for (auto a = map_.begin(), b = other.map_.begin(); same && a != map_.end(); ++a, ++b)
        same = a->first == b->first;
    if (!same)
        throw Error("Fields with element types " + types_string() + ", " + other.types_string() +
                    " are not compatible for operation");
}

}  // namespace zentrel
