#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "zentrel/io/file_access.hpp"
#include "zentrel/io/file_io.hpp"
#include "zentrel/io/vtk_io/base64.hpp"
#include "zentrel/io/vtk_io/codecs.hpp"
#include "zentrel/io/vtk_io/vtk_cells.hpp"
#include "zentrel/io/vtk_io/vtk_legacy.hpp"
#include "zentrel/io/vtk_io/vtk_xml.hpp"

using namespace zentrel;
using namespace zentrel::io;

namespace {

std::vector<unsigned char> decode(std::string_view text, std::size_t n) {
    Base64Reader r(text);
    std::vector<unsigned char> out;
    r.read(n, out);
    return out;
}

std::string message_of(auto&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(Base64, SeparatelyPaddedChunksAndWhitespace) {
    // A 4-byte header and 3 data bytes encoded as two chunks, the way VTK writes them.
    EXPECT_EQ(decode("AQIDBA==\n  BQYH", 7), (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(decode("AQIDBAUGBw==", 7), (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(decode("AQIDBAUGBw==", 2), (std::vector<unsigned char>{1, 2}));
}

TEST(Base64, Invalid) {
    EXPECT_NE(message_of([] { decode("AQ*D", 3); }).find("invalid base64"), std::string::npos);
    EXPECT_NE(message_of([] { decode("AQID", 4); }).find("shorter than its declared size"), std::string::npos);
    EXPECT_NE(message_of([] { decode("AQ=D", 3); }).find("invalid base64"), std::string::npos);
    EXPECT_NE(message_of([] { decode("=AAA", 3); }).find("invalid base64"), std::string::npos);
}

TEST(Codecs, OutputSizeMustMatch) {
    unsigned char out[8];
    EXPECT_NE(message_of([&] { decompress_block(Compressor::ZLib, nullptr, 0, out, 8); }).find("zlib"),
              std::string::npos);
    const unsigned char junk[4] = {1, 2, 3, 4};
    EXPECT_NE(message_of([&] { decompress_block(Compressor::LZMA, junk, 4, out, 8); }).find("corrupt LZMA"),
              std::string::npos);
    EXPECT_EQ(max_decompressed_size(Compressor::LZ4, SIZE_MAX), SIZE_MAX);
}

TEST(VtkCells, PolyhedronMustEndWithSeparator) {
    UMeshBase m(ArrayF64::filled({4, 3}, 0.0));
    m.add_poly_block(ElementType::PHED, ArrayU64::vector(std::vector<std::uint64_t>{0, 1, 2}),
                     ArrayU64::vector(std::vector<std::uint64_t>{3}));
    EXPECT_NE(message_of([&] { vtk_cells_of(m); }).find("does not end with a face separator"), std::string::npos);
}

TEST(VtkCells, InvalidPolyOffsetsRefused) {
    UMeshBase m(ArrayF64::filled({4, 3}, 0.0));
    m.add_poly_block(ElementType::PGON, ArrayU64::vector(std::vector<std::uint64_t>{0, 1, 2}),
                     ArrayU64::vector(std::vector<std::uint64_t>{5}));
    EXPECT_NE(message_of([&] { vtk_cells_of(m); }).find("invalid offsets"), std::string::npos);
}

TEST(VtkCells, EmptyFacesSurviveBothFormats) {
    constexpr std::uint64_t S = std::numeric_limits<std::uint64_t>::max();
    UMeshBase m(ArrayF64::filled({4, 3}, 1.5));
    m.add_poly_block(ElementType::PHED, ArrayU64::vector(std::vector<std::uint64_t>{0, 1, 2, S, S, 1, 2, 3, S}),
                     ArrayU64::vector(std::vector<std::uint64_t>{9}));
    m.add_poly_block(ElementType::PGON, ArrayU64::vector(std::vector<std::uint64_t>{}),
                     ArrayU64::vector(std::vector<std::uint64_t>{0}));
    VtkCells cells = vtk_cells_of(m);
    OutputBuffer legacy, xml;
    write_vtk_legacy(legacy, m, cells);
    write_vtu(xml, m, cells);
    EXPECT_EQ(read_vtk_legacy(legacy.take_string()), m);
    EXPECT_EQ(read_vtu(xml.take_string()), m);
}

TEST(AtomicWrite, FailureKeepsPreviousFileAndLeavesNoTemporary) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("zentra_atomic_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string target = (dir / "m.json").string();
    std::ofstream(target) << "previous";
    std::string msg = message_of([&] {
        write_file_atomically(target, [](OutputBuffer& out) {
            // More than one chunk reaches the disk before the failure.
            out.append(std::string(3 << 20, 'x'));
            throw Error("interrupted");
        });
    });
    EXPECT_EQ(msg, "interrupted");
    std::ifstream in(target);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

TEST(FileDispatch, Extensions) {
    EXPECT_EQ(format_of("a/mesh.JSON"), FileFormat::Json);
    EXPECT_EQ(format_of("archive.tar.yaml"), FileFormat::Yaml);
    EXPECT_EQ(format_of("x.Yml"), FileFormat::Yaml);
    EXPECT_EQ(format_of("x.VTU"), FileFormat::Vtu);
    EXPECT_EQ(format_of(".yaml"), std::nullopt);
    EXPECT_EQ(format_of("dir.json/mesh"), std::nullopt);
    EXPECT_EQ(format_of("mesh.json.bak"), std::nullopt);
    EXPECT_EQ(format_of("mesh.js\xffon"), std::nullopt);
    EXPECT_EQ(unsupported_extension_message("out/mesh.txt"), "Unsupported file extension: \"out/mesh.txt\"");
    EXPECT_EQ(unsupported_extension_message("a\x01\x7f"), "Unsupported file extension: \"a\\u{1}\\u{7f}\"");
}
