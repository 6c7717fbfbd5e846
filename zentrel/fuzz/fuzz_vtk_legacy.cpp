// libFuzzer target: the legacy VTK reader; an accepted mesh must write and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/vtk_io/vtk_legacy.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        zentrel::UMeshBase m = zentrel::io::read_vtk_legacy(text);
        zentrel::io::OutputBuffer out;
        zentrel::io::write_vtk_legacy(out, m, zentrel::io::vtk_cells_of(m));
        // Compared as documents: NaN coordinates never compare equal as numbers.
        if (zentrel::io::to_json(zentrel::io::read_vtk_legacy(out.take_string())) != zentrel::io::to_json(m)) std::abort();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
