#pragma once

#include "pyref.hpp"

#include <atomic>
#include <cstdint>
#include <vector>

#include "zentrel/mesh/umesh.hpp"

namespace zentra {

// The Python object: one owned core mesh and its access counter (>= 0: shared holders;
// kExclusive: one exclusive holder).
struct PyUMesh {
    PyObject_HEAD
    std::atomic<std::intptr_t> borrow;
    zentrel::UMeshBase mesh;
};

inline constexpr std::intptr_t kExclusive = -1;

extern PyTypeObject PyUMeshType;

// New UMesh owning `mesh`.
Ref wrap_mesh(zentrel::UMeshBase mesh);
// The core mesh of a UMesh argument (TypeError naming `name` otherwise); not borrowed.
PyUMesh* as_umesh(PyObject* obj, const char* name);

// Shared access for read-only methods; RuntimeError "Already mutably borrowed" while held exclusively.
class SharedBorrow {
public:
    explicit SharedBorrow(PyObject* self);
    ~SharedBorrow();
    SharedBorrow(const SharedBorrow&) = delete;
    SharedBorrow& operator=(const SharedBorrow&) = delete;
    const zentrel::UMeshBase& mesh() const { return obj_->mesh; }

private:
    PyUMesh* obj_;
};

// Exclusive access for methods that modify the receiver; RuntimeError "Already borrowed" while in use.
class ExclusiveBorrow {
public:
    explicit ExclusiveBorrow(PyObject* self);
    ~ExclusiveBorrow();
    ExclusiveBorrow(const ExclusiveBorrow&) = delete;
    ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;
    zentrel::UMeshBase& mesh() const { return obj_->mesh; }

private:
    PyUMesh* obj_;
};

// Each area of the binding appends its UMesh methods (binding/<area>.cpp).
void add_io_methods(std::vector<PyMethodDef>& methods);
void add_topology_methods(std::vector<PyMethodDef>& methods);
void add_geometry_methods(std::vector<PyMethodDef>& methods);

// Readies the UMesh type; false with a Python error set on failure.
bool init_umesh_type();

}  // namespace zentra
