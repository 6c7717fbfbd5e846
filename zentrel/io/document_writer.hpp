#pragma once

#include <string>

#include "zentrel/io/output_buffer.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

// The mesh document: coordinates and every block with its connectivity, fields, families and
// groups. Compact JSON has no whitespace; indented JSON puts every member and list element on
// its own line, two spaces per level, without a final newline. YAML is block style with the
// connectivity tagged !Regular or !Poly.
void write_json(OutputBuffer& out, const UMeshBase& mesh, bool pretty);
void write_yaml(OutputBuffer& out, const UMeshBase& mesh);

// Room a document of the mesh may take, to size an output buffer once.
std::size_t document_size_hint(const UMeshBase& mesh, bool pretty);

std::string to_json(const UMeshBase& mesh);
std::string to_json_pretty(const UMeshBase& mesh);
std::string to_yaml(const UMeshBase& mesh);

}  // namespace zentrel::io
