#pragma once

#include "pyref.hpp"

namespace zentra {

// Module function building a Cartesian mesh from one to three axes.
extern PyMethodDef build_cmesh_def;

}  // namespace zentra
