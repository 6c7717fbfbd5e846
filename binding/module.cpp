#define ZENTRA_IMPORT_NUMPY
#include "numpy_api.hpp"

#include "errors.hpp"
#include "grid.hpp"
#include "pyumesh.hpp"
#include "select.hpp"

namespace {

PyModuleDef zentra_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "zentra",
    .m_doc = "Unstructured meshes: element blocks, fields, topology, geometry and mesh files.",
    .m_size = -1,
};

bool import_numpy() {
    // import_array() is a macro that returns from the calling function on failure.
    auto run = []() -> void* {
        import_array();
        return reinterpret_cast<void*>(1);
    };
    return run() != nullptr;
}

// Steals `value`; false on failure.
bool add(PyObject* module, const char* name, PyObject* value) { return PyModule_Add(module, name, value) == 0; }

}  // namespace

PyMODINIT_FUNC PyInit_zentra() {
    if (!import_numpy()) return nullptr;
    zentra::Ref module(PyModule_Create(&zentra_def));
    if (!module) return nullptr;

    zentra::Ref sel(zentra::create_sel_module());
    if (!sel) return nullptr;
    PyObject* sel_name = PyModule_GetNameObject(sel.get());
    if (!sel_name) return nullptr;
    int rc = PyObject_SetAttr(module.get(), sel_name, sel.get());
    Py_DECREF(sel_name);
    if (rc < 0) return nullptr;
    // So that `import zentra.sel` finds the submodule too.
    if (PyDict_SetItemString(PyImport_GetModuleDict(), "zentra.sel", sel.get()) < 0) return nullptr;

    if (!zentra::init_umesh_type()) return nullptr;
    Py_INCREF(&zentra::PyUMeshType);
    if (!add(module.get(), "UMesh", reinterpret_cast<PyObject*>(&zentra::PyUMeshType))) return nullptr;

    PyObject* fn = PyCFunction_NewEx(&zentra::build_cmesh_def, nullptr, module.get());
    if (!add(module.get(), "build_cmesh", fn)) return nullptr;

    PyObject* internal = zentra::internal_error_type();
    if (!internal) return nullptr;
    Py_INCREF(internal);
    if (!add(module.get(), "InternalError", internal)) return nullptr;
    return module.release();
}

PyMODINIT_FUNC PyInit_sel() {
    if (!import_numpy()) return nullptr;
    return zentra::create_sel_module();
}
