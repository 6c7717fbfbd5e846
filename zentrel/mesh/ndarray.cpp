#include "zentrel/mesh/ndarray.hpp"

#include <sys/mman.h>

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

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_array_bytes(std::size_t bytes) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    if (bytes >= 2 * kHugePage) {
        // Advise the page-aligned interior; plain malloc beats an aligned allocation here.
        auto begin = (reinterpret_cast<std::uintptr_t>(p) + 4095) & ~std::uintptr_t{4095};
        auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~std::uintptr_t{4095};
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
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
