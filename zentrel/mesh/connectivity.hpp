#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "zentrel/mesh/indirect_index.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentrel {

// Node lists of all elements of one block: rows of a 2-D array, or items of an IndirectIndex.
class ConnectivityBase {
public:
    struct Regular {
        ArrayU64 array;  // (elements, nodes per element)
    };
    struct Poly {
        IndirectIndex index;
    };

    ConnectivityBase() : v_(Regular{ArrayU64::uninit({0, 0})}) {}
    explicit ConnectivityBase(Regular r) : v_(std::move(r)) {}
    explicit ConnectivityBase(Poly p) : v_(std::move(p)) {}
    static ConnectivityBase regular(ArrayU64 a) { return ConnectivityBase(Regular{std::move(a)}); }
    static ConnectivityBase poly(IndirectIndex i) { return ConnectivityBase(Poly{std::move(i)}); }

    bool is_regular() const { return std::holds_alternative<Regular>(v_); }
    bool is_poly() const { return !is_regular(); }
    const ArrayU64& regular_array() const { return std::get<Regular>(v_).array; }
    ArrayU64& regular_array_mut() { return std::get<Regular>(v_).array; }
    const IndirectIndex& indirect() const { return std::get<Poly>(v_).index; }
    IndirectIndex& indirect_mut() { return std::get<Poly>(v_).index; }

    std::size_t len() const;
    // Node list of element i; i is checked.
    std::span<const std::uint64_t> nodes(std::size_t i) const;
    std::span<std::uint64_t> nodes_mut(std::size_t i);
    // Appends one element's node list (row width checked for regular connectivity).
    void push(std::span<const std::uint64_t> nodes);

    friend bool operator==(const ConnectivityBase& a, const ConnectivityBase& b);

    class Iterator {
    public:
        Iterator(const ConnectivityBase* c, std::size_t i) : c_(c), i_(i) {}
        std::span<const std::uint64_t> operator*() const { return c_->nodes(i_); }
        Iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const Iterator& o) const { return i_ == o.i_; }

    private:
        const ConnectivityBase* c_;
        std::size_t i_;
    };
    using ConnectivityIterator = Iterator;
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, len()}; }

private:
    std::variant<Regular, Poly> v_;
};

}  // namespace zentrel
