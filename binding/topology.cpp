#include "pyumesh.hpp"

namespace zentra {

void add_topology_methods(std::vector<PyMethodDef>&) {}

}  // namespace zentra
