#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

using Shape = std::vector<std::size_t>;

// Product of the extents, failing instead of wrapping when a shape read from data is absurd.
std::size_t checked_size(const Shape& shape);
std::string shape_to_string(const Shape& shape);

// Raw storage for array values. Large blocks are aligned and advised for transparent huge
// pages: page faults otherwise dominate the first write of a big array.
void* allocate_array_bytes(std::size_t bytes);
struct ArrayBytesDeleter {
    void operator()(void* p) const noexcept;
};

// Owning n-dimensional array, row-major. Copies share the storage; the first mutable access
// of a shared copy detaches it, so a change is never seen through another copy.
template <class T>
class NdArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    NdArray() : shape_{0} {}

    // Values are left uninitialised: large arrays are filled once by their producer.
    static NdArray uninit(Shape shape) {
        NdArray a;
        a.size_ = checked_size(shape);
        a.shape_ = std::move(shape);
        a.allocate(a.size_);
        return a;
    }

    static NdArray filled(Shape shape, T value) {
        NdArray a = uninit(std::move(shape));
        std::fill_n(a.buf_ ? a.buf_->ptr.get() : nullptr, a.size_, value);
        return a;
    }

    static NdArray from_values(Shape shape, std::span<const T> values) {
        if (checked_size(shape) != values.size())
            throw Error("cannot make an array of shape " + shape_to_string(shape) + " from " +
                        std::to_string(values.size()) + " values");
        NdArray a = uninit(std::move(shape));
        if (!values.empty()) std::memcpy(a.buf_->ptr.get(), values.data(), values.size() * sizeof(T));
        return a;
    }

    static NdArray from_values(Shape shape, std::initializer_list<T> values) {
        return from_values(std::move(shape), std::span<const T>(values.begin(), values.size()));
    }

    static NdArray vector(std::span<const T> values) { return from_values(Shape{values.size()}, values); }

    const Shape& shape() const { return shape_; }
    std::size_t ndim() const { return shape_.size(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t extent(std::size_t axis) const { return axis < shape_.size() ? shape_[axis] : 1; }
    // Number of values per entry of the first axis.
    std::size_t row_size() const {
        std::size_t n = 1;
        for (std::size_t i = 1; i < shape_.size(); ++i) n *= shape_[i];
        return n;
    }
    std::size_t rows() const { return shape_.empty() ? 1 : shape_[0]; }

    // Strides in elements, row-major.
    std::vector<std::size_t> strides() const {
        std::vector<std::size_t> s(shape_.size(), 1);
        for (std::size_t i = shape_.size(); i-- > 1;) s[i - 1] = s[i] * shape_[i];
        return s;
    }

    const T* data() const { return buf_ ? buf_->ptr.get() : nullptr; }
    T* data_mut() {
        detach();
        return buf_ ? buf_->ptr.get() : nullptr;
    }
    std::span<const T> values() const { return {data(), size_}; }
    std::span<T> values_mut() { return {data_mut(), size_}; }
    const T& operator[](std::size_t flat) const { return buf_->ptr[flat]; }

    std::span<const T> row(std::size_t i) const {
        std::size_t w = row_size();
        return {data() + i * w, w};
    }
    std::span<T> row_mut(std::size_t i) {
        std::size_t w = row_size();
        return {data_mut() + i * w, w};
    }

    // Appends one entry along the first axis; amortised growth.
    void append_row(std::span<const T> values) {
        if (shape_.empty()) throw Error("cannot append a row to a zero-dimensional array");
        if (values.size() != row_size())
            throw Error("cannot append a row of " + std::to_string(values.size()) +
                        " values to an array of shape " + shape_to_string(shape_));
        append_raw(values, 1);
    }

    // Appends whole entries along the first axis, given as their concatenated values.
    void extend(std::span<const T> values) {
        if (shape_.empty()) throw Error("cannot extend a zero-dimensional array");
        std::size_t w = row_size();
        if (w == 0 ? !values.empty() : values.size() % w != 0)
            throw Error("cannot extend an array of shape " + shape_to_string(shape_) + " by " +
                        std::to_string(values.size()) + " values");
        append_raw(values, w == 0 ? 0 : values.size() / w);
    }

    void reserve(std::size_t capacity) { grow(capacity); }

    // Same values, another shape of the same size; no copy.
    void reshape(Shape shape) {
        if (checked_size(shape) != size_)
            throw Error("cannot reshape an array of shape " + shape_to_string(shape_) + " into " +
                        shape_to_string(shape));
        shape_ = std::move(shape);
    }

    // Entries of the first axis at the given positions, in that order; positions are checked.
    NdArray take_rows(std::span<const std::uint64_t> positions) const {
        Shape s = shape_.empty() ? Shape{1} : shape_;
        std::size_t w = row_size();
        std::size_t n = rows();
        s[0] = positions.size();
        NdArray out = uninit(std::move(s));
        T* dst = out.buf_ ? out.buf_->ptr.get() : nullptr;
        const T* src = data();
        for (std::uint64_t p : positions) {
            if (p >= n)
                throw Error("index " + std::to_string(p) + " is out of bounds for an axis of length " +
                            std::to_string(n));
            if (w) std::memcpy(dst, src + p * w, w * sizeof(T));
            dst += w;
        }
        return out;
    }

    bool shares_storage_with(const NdArray& other) const { return buf_ && buf_ == other.buf_; }

    friend bool operator==(const NdArray& a, const NdArray& b) {
        if (a.shape_ != b.shape_) return false;
        if (a.size_ == 0) return true;
        return std::equal(a.data(), a.data() + a.size_, b.data());
    }

private:
    struct Buffer {
        std::unique_ptr<T[], ArrayBytesDeleter> ptr;
        std::size_t capacity;
    };

    static std::shared_ptr<Buffer> new_buffer(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return std::make_shared<Buffer>(
            Buffer{std::unique_ptr<T[], ArrayBytesDeleter>(static_cast<T*>(allocate_array_bytes(n * sizeof(T)))), n});
    }

    void allocate(std::size_t n) {
        if (n == 0) {
            buf_.reset();
            return;
        }
        buf_ = new_buffer(n);
    }

    void append_raw(std::span<const T> values, std::size_t rows) {
        // `values` may point into the storage that grow() replaces: keep it alive for the copy.
        std::shared_ptr<Buffer> keep;
        if (buf_ && !values.empty() && std::less_equal<const T*>()(buf_->ptr.get(), values.data()) &&
            std::less<const T*>()(values.data(), buf_->ptr.get() + buf_->capacity))
            keep = buf_;
        grow(size_ + values.size());
        if (!values.empty()) std::memcpy(buf_->ptr.get() + size_, values.data(), values.size() * sizeof(T));
        size_ += values.size();
        shape_[0] += rows;
    }

    void detach() {
        if (!buf_ || buf_.use_count() == 1) return;
        auto fresh = new_buffer(size_);
        std::memcpy(fresh->ptr.get(), buf_->ptr.get(), size_ * sizeof(T));
        buf_ = std::move(fresh);
    }

    void grow(std::size_t needed) {
        if (buf_ && buf_.use_count() == 1 && buf_->capacity >= needed) return;
        std::size_t cap = std::max(needed, buf_ && buf_.use_count() == 1 ? buf_->capacity * 2 : size_);
        cap = std::max<std::size_t>(cap, 4);
        auto fresh = new_buffer(cap);
        if (size_) std::memcpy(fresh->ptr.get(), buf_->ptr.get(), size_ * sizeof(T));
        buf_ = std::move(fresh);
    }

    Shape shape_;
    std::size_t size_ = 0;
    std::shared_ptr<Buffer> buf_;
};

using ArrayF64 = NdArray<double>;
using ArrayU64 = NdArray<std::uint64_t>;

}  // namespace zentrel
