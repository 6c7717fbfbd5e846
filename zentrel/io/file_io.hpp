#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zentrel/mesh/umesh.hpp"

namespace zentrel::io {

enum class FileFormat { Json, Yaml, Vtk, Vtu };

// From the text after the last "." of the final path component, compared without regard to
// case; a name without "." or whose only "." leads has no extension.
std::optional<FileFormat> format_of(std::string_view path);

// "Unsupported file extension: " followed by the path as a quoted, escaped string literal.
std::string unsupported_extension_message(std::string_view path);

// Every failure (extension, I/O, malformed content) is an Error with its message.
UMeshBase read(const std::string& path);
// JSON files hold the indented document, YAML files the same tree. Nothing is created when the
// extension is unsupported or the mesh cannot be stored in the format; the write is atomic.
void write(const std::string& path, const UMeshBase& mesh);

}  // namespace zentrel::io
