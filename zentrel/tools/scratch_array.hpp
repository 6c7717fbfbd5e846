#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

// Working array of one call: uninitialised unless asked, allocated like the mesh arrays (large
// blocks advised for huge pages), so filling it does not cost a page fault per 4 KiB.
template <class T>
class ScratchArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ScratchArray() = default;
    static ScratchArray uninit(std::size_t n) {
        ScratchArray a;
        a.size_ = n;
        a.ptr_.reset(static_cast<T*>(allocate_array_bytes(n * sizeof(T))));
        return a;
    }
    static ScratchArray zeroed(std::size_t n) {
        ScratchArray a = uninit(n);
        if (n) std::memset(a.ptr_.get(), 0, n * sizeof(T));
        return a;
    }

    T* data() { return ptr_.get(); }
    const T* data() const { return ptr_.get(); }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return ptr_[i]; }
    const T& operator[](std::size_t i) const { return ptr_[i]; }

private:
    std::unique_ptr<T[], ArrayBytesDeleter> ptr_;
    std::size_t size_ = 0;
};

}  // namespace zentrel
