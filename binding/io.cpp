#include "pyumesh.hpp"

namespace zentra {

void add_io_methods(std::vector<PyMethodDef>&) {}

}  // namespace zentra
