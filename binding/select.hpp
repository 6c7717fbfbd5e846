#pragma once

#include "pyref.hpp"

namespace zentra {

// Functions of the `sel` module, NULL-terminated, in registration order.
PyMethodDef* sel_functions();

// The `sel` module with its functions; NULL with a Python error set on failure.
PyObject* create_sel_module();

}  // namespace zentra
