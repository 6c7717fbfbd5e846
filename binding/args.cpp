#include "args.hpp"

#include <string>

#include "errors.hpp"

namespace zentra::detail {

namespace {

std::size_t find_name(PyObject* key, const char* const* names, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (PyUnicode_CompareWithASCIIString(key, names[i]) == 0) return i;
    return n;
}

void place_keyword(const char* function, PyObject* key, PyObject* value, const char* const* names, std::size_t n,
                   PyObject** out) {
    std::size_t i = PyUnicode_Check(key) ? find_name(key, names, n) : n;
    if (i == n) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", function, key);
        throw PyErrorSet{};
    }
    if (out[i]) raise_argument(names[i], "given by name and by position");
    out[i] = value;
}

void check_positional(const char* function, std::size_t n, Py_ssize_t nargs) {
    if (static_cast<std::size_t>(nargs) > n)
        raise(PyExc_TypeError, std::string(function) + "() takes at most " + std::to_string(n) + " argument" +
                                   (n == 1 ? "" : "s") + " (" + std::to_string(nargs) + " given)");
}

void check_required(const char* const* names, std::size_t required, PyObject** out) {
    for (std::size_t i = 0; i < required; ++i)
        if (!out[i]) raise_argument(names[i], "missing required argument");
}

}  // namespace

void parse_fastcall(const char* function, const char* const* names, std::size_t n, std::size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** out) {
    check_positional(function, n, nargs);
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
    if (kwnames) {
        Py_ssize_t nk = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < nk; ++k)
            place_keyword(function, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], names, n, out);
    }
    check_required(names, required, out);
}

void parse_tuple(const char* function, const char* const* names, std::size_t n, std::size_t required,
                 PyObject* args, PyObject* kwargs, PyObject** out) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    check_positional(function, n, nargs);
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GET_ITEM(args, i);
    if (kwargs) {
        PyObject *key, *value;
        Py_ssize_t pos = 0;
        while (PyDict_Next(kwargs, &pos, &key, &value)) place_keyword(function, key, value, names, n, out);
    }
    check_required(names, required, out);
}

}  // namespace zentra::detail
