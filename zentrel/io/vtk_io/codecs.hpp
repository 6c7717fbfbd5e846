#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace zentrel::io {

enum class Compressor { ZLib, LZ4, LZMA };

// From the compressor attribute of a VTK XML file.
std::optional<Compressor> compressor_from_name(std::string_view name);

// Largest output a stream of `compressed` bytes can honestly produce, used to refuse absurd
// declared sizes before allocating.
std::size_t max_decompressed_size(Compressor c, std::size_t compressed);

// Decompresses one block; the output must be exactly `size` bytes.
void decompress_block(Compressor c, const unsigned char* src, std::size_t src_size, unsigned char* dst,
                      std::size_t size);

}  // namespace zentrel::io
