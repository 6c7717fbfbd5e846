#pragma once

#include <string_view>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

// Parses a mesh document in YAML: one document, no anchors or aliases, and no tags other than
// !Regular / !Poly on a connectivity and the standard ones that match their node. The JSON
// form of the document (a wrapper object around the connectivity) is accepted too.
UMeshBase read_yaml(std::string_view text);

}  // namespace zentrel::io
