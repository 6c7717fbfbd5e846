#include "errors.hpp"

#include <exception>
#include <new>

#include "zentrel/mesh/error.hpp"

namespace zentra {

PyObject* internal_error_type() {
    static PyObject* type = PyErr_NewExceptionWithDoc(
        "zentra.InternalError",
        "Failure of the zentra core library. It derives from BaseException, not Exception, so that, like "
        "SystemExit, it is not caught by a bare `except Exception`.",
        PyExc_BaseException, nullptr);
    return type;
}

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw PyErrorSet{};
}

void raise_argument(const char* name, const std::string& message, PyObject* type) {
    raise(type, std::string("argument '") + name + "': " + message);
}

void raise_internal(const std::string& message) {
    PyObject* t = internal_error_type();
    if (!t) throw PyErrorSet{};
    raise(t, message);
}

void set_python_error_from_current_exception() {
    try {
        throw;
    } catch (const PyErrorSet&) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "error flagged without an exception set");
    } catch (const zentrel::Error& e) {
        if (PyObject* t = internal_error_type()) PyErr_SetString(t, e.what());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        if (PyObject* t = internal_error_type()) PyErr_SetString(t, e.what());
    } catch (...) {
        if (PyObject* t = internal_error_type()) PyErr_SetString(t, "unknown internal failure");
    }
}

}  // namespace zentra
