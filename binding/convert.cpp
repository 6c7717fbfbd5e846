#include "convert.hpp"

#include <algorithm>
#include <cstring>

#include "errors.hpp"
#include "numpy_api.hpp"

namespace zentra {

using zentrel::ArrayF64;
using zentrel::ArrayU64;

namespace {

// Below this size the copy is cheaper than releasing the GIL.
constexpr std::size_t kReleaseGilBytes = 1 << 20;

const char* type_name(PyObject* obj) { return Py_TYPE(obj)->tp_name; }

template <class T>
constexpr int npy_type() {
    return std::is_same_v<T, double> ? NPY_DOUBLE : NPY_UINT64;
}
template <class T>
constexpr const char* dtype_name() {
    return std::is_same_v<T, double> ? "float64" : "uint64";
}

void copy_bytes(void* dst, const void* src, std::size_t bytes) {
    if (bytes >= kReleaseGilBytes) {
        GilRelease g;
        std::memcpy(dst, src, bytes);
    } else if (bytes) {
        std::memcpy(dst, src, bytes);
    }
}

template <class T>
zentrel::NdArray<T> to_array(PyObject* obj, const char* name, int ndim) {
    if (!PyArray_Check(obj)) raise_argument(name, std::string("expected a numpy.ndarray, got ") + type_name(obj));
    auto* arr = reinterpret_cast<PyArrayObject*>(obj);
    int nd = PyArray_NDIM(arr);
    if (ndim != kAnyRank && nd != ndim)
        raise_argument(name, "expected an array with " + std::to_string(ndim) + " dimension" + (ndim == 1 ? "" : "s") +
                                 ", got " + std::to_string(nd));
    PyArray_Descr* descr = PyArray_DESCR(arr);
    // Equivalence by type number ignores the byte order, which the copy below normalises.
    if (!PyArray_EquivTypenums(descr->type_num, npy_type<T>())) {
        Ref got(PyObject_Str(reinterpret_cast<PyObject*>(descr)));
        const char* got_name = got ? PyUnicode_AsUTF8(got.get()) : nullptr;
        PyErr_Clear();
        raise_argument(name, std::string("expected an array of dtype ") + dtype_name<T>() + ", got " +
                                 (got_name ? got_name : "another dtype"));
    }
    zentrel::Shape shape(PyArray_DIMS(arr), PyArray_DIMS(arr) + nd);
    auto out = zentrel::NdArray<T>::uninit(std::move(shape));
    if (out.size() == 0) return out;
    if (PyArray_IS_C_CONTIGUOUS(arr) && PyArray_ISNOTSWAPPED(arr) && PyArray_ISALIGNED(arr)) {
        copy_bytes(out.data_mut(), PyArray_DATA(arr), out.size() * sizeof(T));
        return out;
    }
    // Any other layout: let NumPy walk the strides and swap bytes into our storage.
    Ref dst(PyArray_NewFromDescr(&PyArray_Type, PyArray_DescrFromType(npy_type<T>()), nd, PyArray_DIMS(arr), nullptr,
                                 out.data_mut(), NPY_ARRAY_CARRAY, nullptr));
    check_py(dst.get());
    check_py(PyArray_CopyInto(reinterpret_cast<PyArrayObject*>(dst.get()), arr) == 0);
    return out;
}

template <class T>
Ref array_to_numpy(const zentrel::NdArray<T>& a) {
    std::vector<npy_intp> dims(a.shape().begin(), a.shape().end());
    Ref out(PyArray_SimpleNew(static_cast<int>(dims.size()), dims.data(), npy_type<T>()));
    check_py(out.get());
    copy_bytes(PyArray_DATA(reinterpret_cast<PyArrayObject*>(out.get())), a.data(), a.size() * sizeof(T));
    return out;
}

}  // namespace

ArrayF64 to_array_f64(PyObject* obj, const char* name, int ndim) { return to_array<double>(obj, name, ndim); }
ArrayU64 to_array_u64(PyObject* obj, const char* name, int ndim) { return to_array<std::uint64_t>(obj, name, ndim); }

std::string to_str(PyObject* obj, const char* name) {
    if (!PyUnicode_Check(obj)) raise_argument(name, std::string("expected str, got ") + type_name(obj));
    Py_ssize_t n = 0;
    const char* s = PyUnicode_AsUTF8AndSize(obj, &n);
    check_py(s);
    return std::string(s, static_cast<std::size_t>(n));
}

zentrel::ElementType str_to_etype(std::string_view name) {
    static constexpr std::string_view accepted[] = {"VERTEX", "SEG2", "SEG3",  "SEG4",  "TRI3", "TRI6",  "TRI7",
                                                    "QUAD4",  "QUAD8", "QUAD9", "TET4", "TET10", "HEX8", "HEX21"};
    if (std::find(std::begin(accepted), std::end(accepted), name) == std::end(accepted))
        raise_internal("Unsupported element type: " + std::string(name));
    return zentrel::element_type_from_name(name);
}

zentrel::ElementType to_etype(PyObject* obj, const char* name) { return str_to_etype(to_str(obj, name)); }

std::optional<std::uint64_t> to_opt_uint(PyObject* obj, const char* name) {
    if (!obj || obj == Py_None) return std::nullopt;
    Ref index(PyNumber_Index(obj));
    if (!index) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            raise_argument(name, std::string("expected None or an integer, got ") + type_name(obj));
        }
        throw PyErrorSet{};
    }
    unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw PyErrorSet{};
    return v;
}

std::optional<zentrel::Dimension> to_opt_dimension(std::optional<std::uint64_t> value) {
    if (!value) return std::nullopt;
    return zentrel::dimension_from_uint(*value);
}

bool to_bool(PyObject* obj, const char* name, bool fallback) {
    if (!obj) return fallback;
    if (PyBool_Check(obj)) return obj == Py_True;
    if (PyArray_IsScalar(obj, Bool)) return PyObject_IsTrue(obj) == 1;
    raise_argument(name, std::string("expected bool, got ") + type_name(obj));
}

double to_double(PyObject* obj, const char* name, double fallback) {
    if (!obj) return fallback;
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            raise_argument(name, std::string("expected a number, got ") + type_name(obj));
        }
        throw PyErrorSet{};
    }
    return v;
}

std::vector<double> to_float_list(PyObject* obj, const char* name) {
    auto fail = [name](const std::string& message) {
        if (name) raise_argument(name, message);
        raise(PyExc_TypeError, message);
    };
    if (PyUnicode_Check(obj) || PyBytes_Check(obj) || PyByteArray_Check(obj) || !PySequence_Check(obj))
        fail(std::string("expected a sequence of numbers, got ") + type_name(obj));
    if (PyArray_Check(obj) && PyArray_NDIM(reinterpret_cast<PyArrayObject*>(obj)) != 1)
        fail("expected a one-dimensional array");
    if (PyArray_Check(obj)) {
        auto* arr = reinterpret_cast<PyArrayObject*>(obj);
        // Real numeric arrays convert in one pass; other dtypes go item by item below.
        if (PyArray_ISFLOAT(arr) || PyArray_ISINTEGER(arr) || PyArray_ISBOOL(arr)) {
            Ref cast(PyArray_FROM_OTF(obj, NPY_DOUBLE, NPY_ARRAY_IN_ARRAY | NPY_ARRAY_FORCECAST));
            check_py(cast.get());
            auto* c = reinterpret_cast<PyArrayObject*>(cast.get());
            const double* v = static_cast<const double*>(PyArray_DATA(c));
            return std::vector<double>(v, v + PyArray_SIZE(c));
        }
        if (PyArray_ISCOMPLEX(arr)) fail("complex values cannot be converted to float");
    }
    Ref seq(PySequence_Fast(obj, "expected a sequence of numbers"));
    if (!seq) {
        PyErr_Clear();
        fail(std::string("expected a sequence of numbers, got ") + type_name(obj));
    }
    Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.get());
    PyObject** items = PySequence_Fast_ITEMS(seq.get());
    std::vector<double> out(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        double v = PyFloat_AsDouble(items[i]);
        if (v == -1.0 && PyErr_Occurred()) {
            if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PyErrorSet{};
            PyErr_Clear();
            fail("item " + std::to_string(i) + " must be a number, not " + type_name(items[i]));
        }
        out[static_cast<std::size_t>(i)] = v;
    }
    return out;
}

std::vector<double> to_point(PyObject* obj, const char* name, std::size_t n) {
    if (PyUnicode_Check(obj) || !PySequence_Check(obj))
        raise_argument(name, std::string("expected a sequence of ") + std::to_string(n) + " numbers, got " +
                                 type_name(obj));
    Py_ssize_t len = PySequence_Size(obj);
    if (len < 0) throw PyErrorSet{};
    if (static_cast<std::size_t>(len) != n)
        raise(PyExc_ValueError,
              "expected a sequence of length " + std::to_string(n) + " (got " + std::to_string(len) + ")");
    return to_float_list(obj, name);
}

namespace {

// Holds the dict's per-object lock where the interpreter has one (free-threaded builds).
class DictLock {
public:
    explicit DictLock([[maybe_unused]] PyObject* d) {
#ifdef Py_GIL_DISABLED
        PyCriticalSection_Begin(&cs_, d);
#endif
    }
    ~DictLock() {
#ifdef Py_GIL_DISABLED
        PyCriticalSection_End(&cs_);
#endif
    }

private:
#ifdef Py_GIL_DISABLED
    PyCriticalSection cs_;
#endif
};

}  // namespace

std::optional<zentrel::FieldMap> to_field_map(PyObject* obj, const char* name) {
    if (!obj || obj == Py_None) return std::nullopt;
    if (!PyDict_Check(obj)) raise_argument(name, std::string("expected None or a dict, got ") + type_name(obj));
    zentrel::FieldMap out;
    DictLock lock(obj);
    PyObject *key, *value;
    Py_ssize_t pos = 0;
    while (PyDict_Next(obj, &pos, &key, &value)) {
        if (!PyUnicode_Check(key))
            raise_argument(name, std::string("keys must be str, not ") + type_name(key));
        std::string k = to_str(key, name);
        out.insert_or_assign(std::move(k), to_array_f64(value, name, kAnyRank));
    }
    return out;
}

Ref to_numpy(const ArrayF64& a) { return array_to_numpy(a); }
Ref to_numpy(const ArrayU64& a) { return array_to_numpy(a); }

Ref adopt_to_numpy(ArrayF64&& values) {
    static constexpr const char* kCapsuleName = "zentra.array_values";
    if (values.empty()) return to_numpy(values);
    // data_mut() detaches a shared buffer, so the array handed over is NumPy's alone.
    auto* owner = new ArrayF64(std::move(values));
    double* data = owner->data_mut();
    Ref capsule(PyCapsule_New(owner, kCapsuleName, [](PyObject* c) {
        delete static_cast<ArrayF64*>(PyCapsule_GetPointer(c, kCapsuleName));
    }));
    if (!capsule) {
        delete owner;
        throw PyErrorSet{};
    }
    std::vector<npy_intp> dims(owner->shape().begin(), owner->shape().end());
    Ref array(PyArray_SimpleNewFromData(static_cast<int>(dims.size()), dims.data(), NPY_FLOAT64, data));
    check_py(array.get());
    // Steals the capsule reference, also when it fails.
    check_py(PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), capsule.release()) == 0);
    return array;
}

Ref connectivity_to_python(const zentrel::ConnectivityBase& c) {
    if (c.is_regular()) return to_numpy(c.regular_array());
    Ref data = to_numpy(c.indirect().data);
    Ref offsets = to_numpy(c.indirect().offsets);
    Ref t(PyTuple_New(2));
    check_py(t.get());
    PyTuple_SET_ITEM(t.get(), 0, data.release());
    PyTuple_SET_ITEM(t.get(), 1, offsets.release());
    return t;
}

Ref to_pystr(std::string_view s) {
    Ref r(PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
    check_py(r.get());
    return r;
}

Ref SortedDictBuilder::build() {
    std::stable_sort(items_.begin(), items_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Ref d(PyDict_New());
    check_py(d.get());
    for (auto& [k, v] : items_) check_py(PyDict_SetItem(d.get(), to_pystr(k).get(), v.get()) == 0);
    return d;
}

}  // namespace zentra
