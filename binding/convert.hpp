#pragma once

// Conversions between Python values and core values. Every argument conversion names the
// parameter in its TypeError; arrays are always copied in both directions.

#include "pyref.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zentrel/mesh/connectivity.hpp"
#include "zentrel/mesh/dimension.hpp"
#include "zentrel/mesh/element_block.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"

namespace zentra {

inline constexpr int kAnyRank = -1;

// NumPy array of the given rank (or any) whose dtype is equivalent to float64 / uint64, in any
// layout, stride or byte order; copied into owned row-major storage. Never cast.
zentrel::ArrayF64 to_array_f64(PyObject* obj, const char* name, int ndim);
zentrel::ArrayU64 to_array_u64(PyObject* obj, const char* name, int ndim);

std::string to_str(PyObject* obj, const char* name);

// The fourteen regular type names; anything else is InternalError "Unsupported element type: NAME".
zentrel::ElementType str_to_etype(std::string_view name);
zentrel::ElementType to_etype(PyObject* obj, const char* name);

// Dimension arguments convert in two phases, so that every argument error comes before the
// core's dimension failure: None or absent -> not given, else a non-negative integer through
// the index protocol (a negative value raises the interpreter's OverflowError) ...
std::optional<std::uint64_t> to_opt_uint(PyObject* obj, const char* name);
// ... then a Dimension: 4 or more fails with "i is higher than 3, could not convert into a dimension".
std::optional<zentrel::Dimension> to_opt_dimension(std::optional<std::uint64_t> value);

// bool or a NumPy boolean scalar; `fallback` when absent.
bool to_bool(PyObject* obj, const char* name, bool fallback);

// Any number for a float parameter; `fallback` when absent.
double to_double(PyObject* obj, const char* name, double fallback);

// A sequence of exactly n numbers (ValueError on another length).
std::vector<double> to_point(PyObject* obj, const char* name, std::size_t n);

// A list, a tuple or a one-dimensional NumPy array of numbers (never a str). With a null
// `name` the TypeError carries no argument prefix.
std::vector<double> to_float_list(PyObject* obj, const char* name);

// None or absent -> none; else a dict str -> float64 array of any rank (read under the dict's lock).
std::optional<zentrel::FieldMap> to_field_map(PyObject* obj, const char* name);

// New NumPy arrays owning a copy.
Ref to_numpy(const zentrel::ArrayF64& a);
Ref to_numpy(const zentrel::ArrayU64& a);
// A new NumPy array taking over a result nothing else refers to, without a copy (a copy if
// the storage turns out to be shared, so NumPy's writes are never seen elsewhere).
Ref adopt_to_numpy(zentrel::ArrayF64&& values);
// A 2-D array for a regular block, a (data, offsets) tuple for a poly block.
Ref connectivity_to_python(const zentrel::ConnectivityBase& c);

Ref to_pystr(std::string_view s);

// Dict built from keys inserted in bytewise ascending order, as every name-keyed result is.
class SortedDictBuilder {
public:
    void add(std::string key, Ref value) { items_.emplace_back(std::move(key), std::move(value)); }
    Ref build();

private:
    std::vector<std::pair<std::string, Ref>> items_;
};

}  // namespace zentra
