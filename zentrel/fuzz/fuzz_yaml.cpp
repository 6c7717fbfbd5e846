// libFuzzer target: the YAML mesh document reader; accepted documents must round-trip.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "zentrel/io/document_writer.hpp"
#include "zentrel/io/yaml_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        zentrel::UMeshBase m = zentrel::io::read_yaml(text);
        std::string again = zentrel::io::to_yaml(m);
        if (zentrel::io::to_yaml(zentrel::io::read_yaml(again)) != again) std::abort();
    } catch (const zentrel::Error&) {
    }
    return 0;
}
