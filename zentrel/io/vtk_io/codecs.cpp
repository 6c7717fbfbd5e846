#include "zentrel/io/vtk_io/codecs.hpp"

#include <lz4.h>
#include <lzma.h>
#include <zlib.h>

#include <climits>
#include <string>

#include "zentrel/mesh/error.hpp"

namespace zentrel::io {

std::optional<Compressor> compressor_from_name(std::string_view name) {
    if (name == "vtkZLibDataCompressor") return Compressor::ZLib;
    if (name == "vtkLZ4DataCompressor") return Compressor::LZ4;
    if (name == "vtkLZMADataCompressor") return Compressor::LZMA;
    return std::nullopt;
}

std::size_t max_decompressed_size(Compressor c, std::size_t compressed) {
    // deflate peaks near 1032:1 and LZ4 near 255:1; xz of long runs goes beyond 7000:1.
    std::size_t ratio = c == Compressor::ZLib ? 1100 : c == Compressor::LZ4 ? 256 : 16384;
    if (compressed > (SIZE_MAX - 65536) / ratio) return SIZE_MAX;
    return compressed * ratio + 65536;
}

void decompress_block(Compressor c, const unsigned char* src, std::size_t src_size, unsigned char* dst,
                      std::size_t size) {
    switch (c) {
        case Compressor::ZLib: {
            uLongf out = size;
            int rc = ::uncompress(dst, &out, src, src_size);
            if (rc == Z_BUF_ERROR && out == size) throw Error("zlib block larger than declared");
            if (rc != Z_OK) throw Error(std::string("corrupt zlib block: ") + (rc == Z_DATA_ERROR ? "invalid data" : zError(rc)));
            if (out != size) throw Error("zlib block smaller than declared");
            return;
        }
        case Compressor::LZ4: {
            if (src_size > INT_MAX || size > INT_MAX) throw Error("LZ4 block too large");
            int n = LZ4_decompress_safe(reinterpret_cast<const char*>(src), reinterpret_cast<char*>(dst),
                                        static_cast<int>(src_size), static_cast<int>(size));
            if (n < 0) throw Error("corrupt LZ4 block");
            if (static_cast<std::size_t>(n) != size) throw Error("LZ4 block smaller than declared");
            return;
        }
        case Compressor::LZMA: {
            std::uint64_t memlimit = std::uint64_t{256} << 20;
            std::size_t in_pos = 0, out_pos = 0;
            lzma_ret rc = lzma_stream_buffer_decode(&memlimit, 0, nullptr, src, &in_pos, src_size, dst, &out_pos, size);
            if (rc == LZMA_BUF_ERROR && out_pos == size) throw Error("LZMA block larger than declared");
            if (rc == LZMA_MEMLIMIT_ERROR) throw Error("LZMA block needs too much memory");
            if (rc != LZMA_OK) throw Error("corrupt LZMA block");
            if (out_pos != size) throw Error("LZMA block smaller than declared");
            return;
        }
    }
}

}  // namespace zentrel::io
