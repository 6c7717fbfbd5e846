#pragma once

#include "pyref.hpp"

#include <string>

namespace zentra {

// Thrown once a Python exception is set: unwinds to the method boundary, which returns NULL.
struct PyErrorSet {};

// Throws PyErrorSet if a Python error is pending (after a C API call that may fail).
inline void check_py(bool ok) {
    if (!ok) throw PyErrorSet{};
}
template <class T>
T* check_py(T* p) {
    if (!p) throw PyErrorSet{};
    return p;
}

[[noreturn]] void raise(PyObject* type, const std::string& message);
// TypeError "argument 'NAME': MESSAGE"
[[noreturn]] void raise_argument(const char* name, const std::string& message, PyObject* type = PyExc_TypeError);
[[noreturn]] void raise_internal(const std::string& message);

// The exception class of every core failure; derives from BaseException. Created on first use.
PyObject* internal_error_type();

// Sets the Python exception for the C++ exception being handled.
void set_python_error_from_current_exception();

// Runs a method body; C++ exceptions become Python exceptions and NULL.
template <class F>
PyObject* guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        set_python_error_from_current_exception();
        return nullptr;
    }
}

// Same for slots returning int (-1 on failure).
template <class F>
int guarded_int(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        set_python_error_from_current_exception();
        return -1;
    }
}

// Releases the GIL for heavy core work; reacquired on every exit path, exceptions included.
class GilRelease {
public:
    GilRelease() : state_(PyEval_SaveThread()) {}
    ~GilRelease() { PyEval_RestoreThread(state_); }
    GilRelease(const GilRelease&) = delete;
    GilRelease& operator=(const GilRelease&) = delete;

private:
    PyThreadState* state_;
};

template <class F>
auto without_gil(F&& f) -> decltype(f()) {
    GilRelease g;
    return f();
}

}  // namespace zentra
