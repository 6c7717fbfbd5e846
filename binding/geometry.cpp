// UMesh methods of the geometry area: measures and extrusions.

#include "pyumesh.hpp"

#include <string>
#include <vector>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "zentrel/tools/extrude.hpp"
#include "zentrel/tools/measure.hpp"

namespace zentra {

namespace {

PyObject* measure(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"measure", {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        zentrel::MeasureMap m = without_gil([&] { return zentrel::measure(b.mesh()); });
        SortedDictBuilder d;
        for (auto& [t, values] : m) d.add(std::string(zentrel::name_of(t)), adopt_to_numpy(std::move(values)));
        return d.build().release();
    });
}

PyObject* measure_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"measure_update", {}, 0};
        p.parse(args, nargs, kwnames);
        ExclusiveBorrow b(self);
        without_gil([&] { zentrel::measure_update(b.mesh()); });
        Py_RETURN_NONE;
    });
}

PyObject* extrude(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<1> p{"extrude", {"along"}, 1};
        auto [along] = p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        // `along` goes through the plain sequence conversion: its TypeError carries no argument name.
        std::vector<double> values = to_float_list(along, nullptr);
        zentrel::UMeshBase out = without_gil([&] { return zentrel::extrude(b.mesh(), values); });
        return wrap_mesh(std::move(out)).release();
    });
}

template <zentrel::UMeshBase (*Core)(const zentrel::UMeshBase&, const zentrel::ArrayF64&)>
PyObject* extrude_along_array(const char* name, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        const Params<1> p{name, {"along"}, 1};
        auto [along] = p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        zentrel::ArrayF64 path = to_array_f64(along, "along", 2);
        zentrel::UMeshBase out = without_gil([&] { return Core(b.mesh(), path); });
        return wrap_mesh(std::move(out)).release();
    });
}

PyObject* extrude_parallel(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return extrude_along_array<zentrel::extrude_parallel>("extrude_parallel", self, args, nargs, kwnames);
}

PyObject* extrude_curv(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return extrude_along_array<zentrel::extrude_curv>("extrude_curv", self, args, nargs, kwnames);
}

}  // namespace

void add_geometry_methods(std::vector<PyMethodDef>& m) {
    m.push_back(fastcall_method<measure>("measure", "measure($self)\n--\n\n"));
    m.push_back(fastcall_method<measure_update>("measure_update", "measure_update($self)\n--\n\n"));
    m.push_back(fastcall_method<extrude>("extrude", "extrude($self, along)\n--\n\n"));
    m.push_back(fastcall_method<extrude_parallel>("extrude_parallel", "extrude_parallel($self, along)\n--\n\n"));
    m.push_back(fastcall_method<extrude_curv>("extrude_curv", "extrude_curv($self, along)\n--\n\n"));
}

}  // namespace zentra
