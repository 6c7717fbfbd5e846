#include "zentrel/io/vtk_io/byte_order.hpp"
#include "zentrel/io/vtk_io/cell_arrays.hpp"
#include "zentrel/io/vtk_io/vtk_xml.hpp"

namespace zentrel::io {

namespace {

constexpr bool kLittle = false;  // the byte_order written below

struct Appended {
    std::string xml;
    std::uint64_t offset = 0;
    void array(const char* type, const char* name, int components, std::uint64_t bytes) {
        xml += "        <DataArray type=\"";
        xml += type;
        xml += "\" Name=\"";
        xml += name;
        xml += "\"";
        if (components > 1) xml += " NumberOfComponents=\"" + std::to_string(components) + "\"";
        xml += " format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
        offset += 8 + bytes;
    }
};

}  // namespace

void write_vtu(OutputBuffer& out, const UMeshBase& mesh, const VtkCells& cells) {
    const std::size_t n = mesh.num_nodes(), nc = cells.num_cells;
    const bool polyhedra = mesh.find_block(ElementType::PHED) != nullptr;
    Appended a;
    std::string xml =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n"
        "  <UnstructuredGrid>\n"
        "    <Piece NumberOfPoints=\"" + std::to_string(n) + "\" NumberOfCells=\"" + std::to_string(nc) + "\">\n"
        "      <Points>\n";
    a.array("Float64", "Points", 3, n * 3 * 8);
    xml += a.xml + "      </Points>\n      <Cells>\n";
    a.xml.clear();
    a.array("Int64", "connectivity", 1, cells.conn_size * 8);
    a.array("Int64", "offsets", 1, nc * 8);
    a.array("UInt8", "types", 1, nc);
    if (polyhedra) {
        a.array("Int64", "faces", 1, cells.phed_faces.size() * 8);
        a.array("Int64", "faceoffsets", 1, nc * 8);
    }
    xml += a.xml + "      </Cells>\n    </Piece>\n  </UnstructuredGrid>\n  <AppendedData encoding=\"raw\">\n   _";
    out.append(xml);

    auto header = [&](std::uint64_t bytes) { append_one<std::uint64_t>(out, bytes, kLittle); };
    header(n * 3 * 8);
    append_as<double>(out, mesh.coords.values(), kLittle);

    header(cells.conn_size * 8);
    append_cell_connectivity(out, mesh, cells.phed_points, kLittle);

    header(nc * 8);
    append_cell_end_offsets(out, mesh, cells.phed_points_end, cells.phed_points.size(), kLittle);

    header(nc);
    for (const auto& [t, b] : mesh.element_blocks) {
        std::uint8_t code = *vtk_cell_type(t);
        char* p = out.reserve(b.len());
        std::memset(p, code, b.len());
        out.commit(p + b.len());
    }

    if (polyhedra) {
        header(cells.phed_faces.size() * 8);
        append_as<std::int64_t>(out, std::span<const std::int64_t>(cells.phed_faces), kLittle);
        header(nc * 8);
        for (const auto& [t, b] : mesh.element_blocks) {
            if (t == ElementType::PHED) {
                for (std::size_t e : cells.phed_faces_end) append_one<std::int64_t>(out, static_cast<std::int64_t>(e), kLittle);
            } else {
                append_generated<std::int64_t>(out, b.len(), kLittle, [](std::size_t) { return -1; });
            }
        }
    }
    out.append("\n  </AppendedData>\n</VTKFile>\n");
}

}  // namespace zentrel::io
