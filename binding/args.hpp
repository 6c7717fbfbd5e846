#pragma once

#include "pyref.hpp"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace zentra {

// Parses METH_FASTCALL | METH_KEYWORDS arguments by parameter name. Slots of parameters that
// were not given stay NULL (the method applies the default); a missing required parameter
// raises TypeError "argument 'NAME': missing required argument".
//
//     static const Params<2> p{"descend", {"src_dim", "target_dim"}, 0};
//     auto [src, target] = p.parse(args, nargs, kwnames);
template <std::size_t N>
struct Params {
    const char* function;
    std::array<const char*, N> names;
    std::size_t required;

    std::array<PyObject*, N> parse(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const;
    // Tuple/dict form, for tp_new.
    std::array<PyObject*, N> parse_tuple(PyObject* args, PyObject* kwargs) const;
};

// Method table entry of a METH_FASTCALL | METH_KEYWORDS function; `doc` is its text signature.
template <auto F>
PyMethodDef fastcall_method(const char* name, const char* doc, int extra_flags = 0) {
    return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(F)),
            METH_FASTCALL | METH_KEYWORDS | extra_flags, doc};
}

namespace detail {
void parse_fastcall(const char* function, const char* const* names, std::size_t n, std::size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** out);
void parse_tuple(const char* function, const char* const* names, std::size_t n, std::size_t required,
                 PyObject* args, PyObject* kwargs, PyObject** out);
}  // namespace detail

template <std::size_t N>
std::array<PyObject*, N> Params<N>::parse(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const {
    std::array<PyObject*, N> out{};
    detail::parse_fastcall(function, names.data(), N, required, args, nargs, kwnames, out.data());
    return out;
}

template <std::size_t N>
std::array<PyObject*, N> Params<N>::parse_tuple(PyObject* args, PyObject* kwargs) const {
    std::array<PyObject*, N> out{};
    detail::parse_tuple(function, names.data(), N, required, args, kwargs, out.data());
    return out;
}

}  // namespace zentra
