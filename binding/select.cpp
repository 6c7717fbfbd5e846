#include "select.hpp"

namespace zentra {

namespace {

PyMethodDef functions[] = {
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef sel_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "sel",
    .m_doc = "Constructors of element selections for UMesh.select.",
    .m_size = -1,
    .m_methods = functions,
};

}  // namespace

PyMethodDef* sel_functions() { return functions; }

PyObject* create_sel_module() { return PyModule_Create(&sel_def); }

}  // namespace zentra
