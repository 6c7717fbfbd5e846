#include "pyumesh.hpp"

#include <new>
#include <set>
#include <utility>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "zentrel/mesh/debug_dump.hpp"

namespace zentra {

using zentrel::UMeshBase;

SharedBorrow::SharedBorrow(PyObject* self) : obj_(reinterpret_cast<PyUMesh*>(self)) {
    std::intptr_t v = obj_->borrow.load(std::memory_order_relaxed);
    do {
        if (v == kExclusive) raise(PyExc_RuntimeError, "Already mutably borrowed");
    } while (!obj_->borrow.compare_exchange_weak(v, v + 1, std::memory_order_acquire, std::memory_order_relaxed));
}

SharedBorrow::~SharedBorrow() { obj_->borrow.fetch_sub(1, std::memory_order_release); }

ExclusiveBorrow::ExclusiveBorrow(PyObject* self) : obj_(reinterpret_cast<PyUMesh*>(self)) {
    std::intptr_t expected = 0;
    if (!obj_->borrow.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire,
                                              std::memory_order_relaxed))
        raise(PyExc_RuntimeError, "Already borrowed");
}

ExclusiveBorrow::~ExclusiveBorrow() { obj_->borrow.store(0, std::memory_order_release); }

namespace {

PyObject* umesh_alloc(PyTypeObject* type, UMeshBase&& mesh) {
    PyObject* self = type->tp_alloc(type, 0);
    if (!self) throw PyErrorSet{};
    auto* o = reinterpret_cast<PyUMesh*>(self);
    new (&o->borrow) std::atomic<std::intptr_t>(0);
    new (&o->mesh) UMeshBase(std::move(mesh));
    return self;
}

PyObject* umesh_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Params<1> p{"UMesh", {"coords"}, 1};
        auto [coords] = p.parse_tuple(args, kwargs);
        UMeshBase mesh(to_array_f64(coords, "coords", 2));
        return umesh_alloc(type, std::move(mesh));
    });
}

void umesh_dealloc(PyObject* self) {
    auto* o = reinterpret_cast<PyUMesh*>(self);
    o->mesh.~UMeshBase();
    o->borrow.~atomic();
    Py_TYPE(self)->tp_free(self);
}

PyObject* umesh_str(PyObject* self) {
    return guarded([&]() -> PyObject* {
        SharedBorrow b(self);
        std::string text = without_gil([&] { return zentrel::debug_dump(b.mesh()); });
        return to_pystr(text).release();
    });
}

PyObject* coords(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"coords", {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        return to_numpy(b.mesh().coords).release();
    });
}

PyObject* block_types(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"block_types", {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        Ref list(PyList_New(0));
        check_py(list.get());
        for (const auto& [t, _] : b.mesh().element_blocks)
            check_py(PyList_Append(list.get(), to_pystr(zentrel::name_of(t)).get()) == 0);
        return list.release();
    });
}

PyObject* blocks(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"blocks", {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        SortedDictBuilder d;
        for (const auto& [t, block] : b.mesh().element_blocks)
            d.add(std::string(zentrel::name_of(t)), connectivity_to_python(block.connectivity));
        return d.build().release();
    });
}

PyObject* fields(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<0> p{"fields", {}, 0};
        p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        const UMeshBase& mesh = b.mesh();
        std::set<std::pair<std::string, zentrel::Dimension>> pairs;
        for (const auto& [t, block] : mesh.element_blocks)
            for (const auto& [name, _] : block.fields) pairs.emplace(name, zentrel::dimension_of(t));
        // One entry per field name: a name carried in several dimensions keeps the last one,
        // as a dict keyed by name can only hold one.
        SortedDictBuilder outer;
        std::string previous;
        for (const auto& [name, dim] : pairs) {
            auto field = mesh.field(name, dim);
            if (!field)
                raise_internal("The field " + name + " is not carried by every block of dimension " +
                               std::to_string(zentrel::to_uint(dim)));
            SortedDictBuilder inner;
            for (const auto& [t, array] : field->map()) inner.add(std::string(zentrel::name_of(t)), to_numpy(array));
            outer.add(name, inner.build());
        }
        return outer.build().release();
    });
}

PyObject* add_regular_block(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<3> p{"add_regular_block", {"et", "block", "fields"}, 2};
        auto [et, block, fields] = p.parse(args, nargs, kwnames);
        ExclusiveBorrow b(self);
        std::string name = to_str(et, "et");
        zentrel::ArrayU64 conn = to_array_u64(block, "block", 2);
        auto field_map = to_field_map(fields, "fields");
        b.mesh().add_regular_block(str_to_etype(name), std::move(conn), std::move(field_map));
        Py_RETURN_NONE;
    });
}

std::vector<PyMethodDef>& method_table() {
    static std::vector<PyMethodDef> methods;
    return methods;
}

}  // namespace

PyTypeObject PyUMeshType = {
    .ob_base = PyVarObject_HEAD_INIT(nullptr, 0).tp_name = "zentra.UMesh",
    .tp_basicsize = sizeof(PyUMesh),
    .tp_itemsize = 0,
    .tp_dealloc = umesh_dealloc,
    .tp_str = umesh_str,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "UMesh(coords)\n--\n\n",
    .tp_new = umesh_new,
};

Ref wrap_mesh(UMeshBase mesh) { return Ref(umesh_alloc(&PyUMeshType, std::move(mesh))); }

PyUMesh* as_umesh(PyObject* obj, const char* name) {
    if (!PyObject_TypeCheck(obj, &PyUMeshType))
        raise_argument(name, std::string("expected UMesh, got ") + Py_TYPE(obj)->tp_name);
    return reinterpret_cast<PyUMesh*>(obj);
}

bool init_umesh_type() {
    std::vector<PyMethodDef>& m = method_table();
    if (m.empty()) {
        m.push_back(fastcall_method<coords>("coords", "coords($self)\n--\n\nReturns a copy owned by python of the array coordinates"));
        m.push_back(fastcall_method<block_types>("block_types", "block_types($self)\n--\n\n"));
        m.push_back(fastcall_method<blocks>("blocks", "blocks($self)\n--\n\n"));
        m.push_back(fastcall_method<fields>("fields", "fields($self)\n--\n\n"));
        m.push_back(fastcall_method<add_regular_block>(
            "add_regular_block",
            "add_regular_block($self, et, block, fields=None)\n--\n\nAdd a regular block of elements to the mesh."));
        add_io_methods(m);
        add_topology_methods(m);
        add_geometry_methods(m);
        m.push_back({nullptr, nullptr, 0, nullptr});
    }
    PyUMeshType.tp_methods = m.data();
    return PyType_Ready(&PyUMeshType) == 0;
}

}  // namespace zentra
