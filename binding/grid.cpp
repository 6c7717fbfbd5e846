#include "grid.hpp"

#include <string>

#include "convert.hpp"
#include "errors.hpp"
#include "pyumesh.hpp"
#include "zentrel/tools/grid.hpp"

namespace zentra {

namespace {

PyObject* build_cmesh(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return guarded([&]() -> PyObject* {
        zentrel::RegularUMeshBuilder builder;
        for (Py_ssize_t i = 0; i < nargs; ++i) builder.add_axis(to_float_list(args[i], "args"));
        zentrel::UMeshBase mesh = without_gil([&] { return builder.build(); });
        return wrap_mesh(std::move(mesh)).release();
    });
}

}  // namespace

PyMethodDef build_cmesh_def = {"build_cmesh", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(build_cmesh)),
                               METH_FASTCALL, "build_cmesh(*args)\n--\n\n"};

}  // namespace zentra
