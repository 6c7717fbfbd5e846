// UMesh methods of the topology area: descending mesh, boundaries, connected components.

#include "pyumesh.hpp"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "zentrel/tools/boundaries.hpp"
#include "zentrel/tools/connected_components.hpp"
#include "zentrel/tools/descending.hpp"

namespace zentra {

namespace {

using OptDim = std::optional<zentrel::Dimension>;

std::array<PyObject*, 2> parse_src_target(const char* name, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames) {
    const Params<2> p{name, {"src_dim", "target_dim"}, 0};
    return p.parse(args, nargs, kwnames);
}

// Both arguments become integers before either becomes a dimension, so argument errors come first.
std::pair<OptDim, OptDim> to_src_target(PyObject* src_arg, PyObject* target_arg) {
    auto src = to_opt_uint(src_arg, "src_dim");
    auto target = to_opt_uint(target_arg, "target_dim");
    return {to_opt_dimension(src), to_opt_dimension(target)};
}

using Compute = zentrel::UMeshBase (*)(const zentrel::UMeshBase&, std::optional<zentrel::Dimension>,
                                       std::optional<zentrel::Dimension>);

template <Compute F>
PyObject* derived_mesh(const char* name, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        auto [src_arg, target_arg] = parse_src_target(name, args, nargs, kwnames);
        SharedBorrow b(self);
        auto [src_dim, target_dim] = to_src_target(src_arg, target_arg);
        zentrel::UMeshBase out = without_gil([&] { return F(b.mesh(), src_dim, target_dim); });
        return wrap_mesh(std::move(out)).release();
    });
}

// The produced blocks replace the receiver's blocks of their dimensions; the displaced ones
// come back as a new mesh. The computation runs before anything is moved, so a failure leaves
// the receiver as it was.
template <Compute F>
PyObject* derived_update(const char* name, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        auto [src_arg, target_arg] = parse_src_target(name, args, nargs, kwnames);
        ExclusiveBorrow b(self);
        auto [src_dim, target_dim] = to_src_target(src_arg, target_arg);
        std::optional<zentrel::UMeshBase> displaced = without_gil([&] {
            zentrel::UMeshBase produced = F(b.mesh(), src_dim, target_dim);
            return b.mesh().update(std::move(produced));
        });
        if (!displaced) Py_RETURN_NONE;
        return wrap_mesh(std::move(*displaced)).release();
    });
}

PyObject* descend(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return derived_mesh<zentrel::compute_descending>("descend", self, args, nargs, kwnames);
}
PyObject* descend_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return derived_update<zentrel::compute_descending>("descend_update", self, args, nargs, kwnames);
}
PyObject* boundaries(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return derived_mesh<zentrel::compute_submesh_with_n_neighbours>("boundaries", self, args, nargs, kwnames);
}
PyObject* boundaries_update(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return derived_update<zentrel::compute_submesh_with_n_neighbours>("boundaries_update", self, args, nargs,
                                                                      kwnames);
}

PyObject* connected_components(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static const Params<3> p{"connected_components", {"src_dim", "link_dim", "with_fields"}, 0};
        auto [src_arg, link_arg, fields_arg] = p.parse(args, nargs, kwnames);
        SharedBorrow b(self);
        auto src = to_opt_uint(src_arg, "src_dim");
        auto link = to_opt_uint(link_arg, "link_dim");
        bool with_fields = to_bool(fields_arg, "with_fields", true);
        auto src_dim = to_opt_dimension(src);
        auto link_dim = to_opt_dimension(link);
        std::vector<zentrel::UMeshBase> pieces =
            without_gil([&] { return zentrel::connected_components(b.mesh(), src_dim, link_dim, with_fields); });
        Ref list(check_py(PyList_New(static_cast<Py_ssize_t>(pieces.size()))));
        for (std::size_t i = 0; i < pieces.size(); ++i)
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), check_py(wrap_mesh(std::move(pieces[i])).release()));
        return list.release();
    });
}

}  // namespace

void add_topology_methods(std::vector<PyMethodDef>& m) {
    m.push_back(fastcall_method<descend>("descend", "descend($self, src_dim=None, target_dim=None)\n--\n\n"));
    m.push_back(fastcall_method<descend_update>("descend_update", "descend_update($self, src_dim=None, target_dim=None)\n--\n\n"));
    m.push_back(fastcall_method<boundaries>("boundaries", "boundaries($self, src_dim=None, target_dim=None)\n--\n\n"));
    m.push_back(
        fastcall_method<boundaries_update>("boundaries_update", "boundaries_update($self, src_dim=None, target_dim=None)\n--\n\n"));
    m.push_back(fastcall_method<connected_components>(
        "connected_components", "connected_components($self, src_dim=None, link_dim=None, with_fields=True)\n--\n\n"));
}

}  // namespace zentra
