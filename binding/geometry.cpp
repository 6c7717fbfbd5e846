#include "pyumesh.hpp"

namespace zentra {

void add_geometry_methods(std::vector<PyMethodDef>&) {}

}  // namespace zentra
