// libFuzzer target: the JSON mesh document reader. Whatever it accepts must write and read back
// to the same mesh.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/json_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        zentrel::UMeshBase m = zentrel::io::read_json(text);
        std::string again = zentrel::io::to_json(m);
        if (zentrel::io::to_json(zentrel::io::read_json(again)) != again) std::abort();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
