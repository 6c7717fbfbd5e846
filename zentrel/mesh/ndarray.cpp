#include "zentrel/mesh/ndarray.hpp"

#include "zentrel/mesh/page_hint.hpp"

#include <cstdint>
#include <cstdlib>

namespace zentrel {

std::size_t checked_size(const Shape& shape) {
    std::size_t n = 1;
    for (std::size_t e : shape) {
        if (e != 0 && n > SIZE_MAX / e) throw Error("array shape " + shape_to_string(shape) + " is too large");
        n *= e;
    }
    return n;
}

void* allocate_array_bytes(std::size_t bytes) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    // Plain malloc plus advice beats an aligned allocation here.
    advise_huge_pages(p, bytes);
    return p;
}

void ArrayBytesDeleter::operator()(void* p) const noexcept { std::free(p); }

std::string shape_to_string(const Shape& shape) {
    std::string s = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (i) s += ", ";
        s += std::to_string(shape[i]);
    }
    return s + "]";
}

}  // namespace zentrel
