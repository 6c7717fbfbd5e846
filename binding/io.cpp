#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "pyumesh.hpp"
#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/file_io.hpp"

namespace zentra {

namespace {

// The text goes from its buffer to the Python string with no intermediate string.
template <bool Pretty>
PyObject* json_text(const char* name, PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        const Params<0> p{name, {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        zentrel::io::OutputBuffer out;
        without_gil([&] {
            out.reserve_total(zentrel::io::document_size_hint(b.mesh(), Pretty));
            zentrel::io::write_json(out, b.mesh(), Pretty);
        });
        return to_pystr(out.view()).release();
    });
}

PyObject* to_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return json_text<false>("to_json", self, args, nargs, kwnames);
}

PyObject* to_json_pretty(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return json_text<true>("to_json_pretty", self, args, nargs, kwnames);
}

PyObject* read(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<1> p{"read", {"path"}, 1};
        auto [path_obj] = p.parse(args, nargs, kwnames);
        std::string path = to_str(path_obj, "path");
        zentrel::UMeshBase mesh = without_gil([&] { return zentrel::io::read(path); });
        return wrap_mesh(std::move(mesh)).release();
    });
}

// Every failure of the writer is raised: a write that silently did nothing would be taken
// for a success.
PyObject* write(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<1> p{"write", {"path"}, 1};
        auto [path_obj] = p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        std::string path = to_str(path_obj, "path");
        without_gil([&] { zentrel::io::write(path, b.mesh()); });
        Py_RETURN_NONE;
    });
}

}  // namespace

void add_io_methods(std::vector<PyMethodDef>& m) {
    m.push_back(fastcall_method<to_json>("to_json", "to_json($self)\n--\n\n"));
    m.push_back(fastcall_method<to_json_pretty>("to_json_pretty", "to_json_pretty($self)\n--\n\n"));
    m.push_back(fastcall_method<read>("read", "read(path)\n--\n\n", METH_STATIC));
    m.push_back(fastcall_method<write>("write", "write($self, path)\n--\n\n"));
}

}  // namespace zentra
