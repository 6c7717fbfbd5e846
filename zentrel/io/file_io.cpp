#include "zentrel/io/file_io.hpp"

#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/file_access.hpp"
#include "zentrel/io/json_reader.hpp"
#include "zentrel/io/text_position.hpp"
#include "zentrel/io/vtk_io/vtk_legacy.hpp"
#include "zentrel/io/vtk_io/vtk_xml.hpp"
#include "zentrel/io/yaml_reader.hpp"

namespace zentrel::io {

std::optional<FileFormat> format_of(std::string_view path) {
    std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    std::string_view ext = name.substr(dot + 1);
    if (first_invalid_utf8(ext) != ext.size()) return std::nullopt;
    std::string lower(ext);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "json") return FileFormat::Json;
    if (lower == "yaml" || lower == "yml") return FileFormat::Yaml;
    if (lower == "vtk") return FileFormat::Vtk;
    if (lower == "vtu") return FileFormat::Vtu;
    return std::nullopt;
}

std::string unsupported_extension_message(std::string_view path) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string msg = "Unsupported file extension: \"";
    for (char ch : path) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': msg += "\\\""; break;
            case '\\': msg += "\\\\"; break;
            case '\n': msg += "\\n"; break;
            case '\r': msg += "\\r"; break;
            case '\t': msg += "\\t"; break;
            case '\0': msg += "\\0"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    msg += "\\u{";
                    if (c >> 4) msg += kHex[c >> 4];
                    msg += kHex[c & 15];
                    msg += '}';
                } else {
                    msg += ch;
                }
        }
    }
    return msg + "\"";
}

namespace {

// The system would silently use the path up to the NUL: another file than the one named.
void check_path(const std::string& path) {
    if (path.find('\0') != std::string::npos) throw Error("the path \"" + path.substr(0, path.find('\0')) + "...\" contains a NUL character");
}

}  // namespace

UMeshBase read(const std::string& path) {
    auto format = format_of(path);
    if (!format) throw Error(unsupported_extension_message(path));
    check_path(path);
    switch (*format) {
        case FileFormat::Json: {
            FileBytes f = read_file(path, kJsonPadding);
            return read_json_padded(f.view, f.size, f.capacity);
        }
        case FileFormat::Yaml: {
            MappedFile f(path);
            return read_yaml(f.text());
        }
        case FileFormat::Vtk: {
            MappedFile f(path);
            return read_vtk_legacy(f.text());
        }
        case FileFormat::Vtu: {
            MappedFile f(path);
            return read_vtu(f.text());
        }
    }
    throw Error(unsupported_extension_message(path));
}

void write(const std::string& path, const UMeshBase& mesh) {
    auto format = format_of(path);
    if (!format) throw Error(unsupported_extension_message(path));
    check_path(path);
    switch (*format) {
        case FileFormat::Json:
            write_file_atomically(path, [&](OutputBuffer& out) { write_json(out, mesh, true); });
            return;
        case FileFormat::Yaml:
            write_file_atomically(path, [&](OutputBuffer& out) { write_yaml(out, mesh); });
            return;
        case FileFormat::Vtk: {
            VtkCells cells = vtk_cells_of(mesh);
            write_file_atomically(path, [&](OutputBuffer& out) { write_vtk_legacy(out, mesh, cells); });
            return;
        }
        case FileFormat::Vtu: {
            VtkCells cells = vtk_cells_of(mesh);
            write_file_atomically(path, [&](OutputBuffer& out) { write_vtu(out, mesh, cells); });
            return;
        }
    }
}

}  // namespace zentrel::io
