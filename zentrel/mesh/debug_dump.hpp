#pragma once

#include <string>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// Multi-line structural dump of a mesh: every structure with its members in declaration order,
// every array written in full with its shape, strides and layout. Linear in the mesh size.
std::string debug_dump(const UMeshBase& mesh);

}  // namespace zentrel
