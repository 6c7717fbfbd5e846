#include <pugixml.hpp>

#include <charconv>
#include <optional>
#include <vector>

#include "zentrel/io/text_position.hpp"
#include "zentrel/io/vtk_io/base64.hpp"
#include "zentrel/io/vtk_io/codecs.hpp"
#include "zentrel/io/vtk_io/scalar_type.hpp"
#include "zentrel/io/vtk_io/vtk_xml.hpp"

namespace zentrel::io {

namespace {

constexpr std::size_t kMaxDepth = 1024;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::uint64_t parse_u64_attr(const pugi::xml_node& node, const char* name) {
    std::string_view s = node.attribute(name).value();
    std::uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size())
        throw Error(std::string("invalid ") + name + " attribute \"" + std::string(s) + "\" of " + node.name());
    return v;
}

// Raw bytes of one data array after decoding and decompression.
class ArrayDecoder {
public:
    ArrayDecoder(bool big_endian, bool header64, std::optional<Compressor> compressor, std::string_view appended,
                 bool appended_base64)
        : be_(big_endian), h64_(header64), comp_(compressor), appended_(appended), appended_b64_(appended_base64) {}

    // Values of the array converted to T, in a 1-D array; `expected` is the value count the
    // file's counts imply, when they imply one.
    template <class T>
    NdArray<T> read(const pugi::xml_node& da, std::string_view what, std::optional<std::uint64_t> expected) {
        std::string_view type_name = da.attribute("type").value();
        auto type = scalar_from_xml_name(type_name);
        if (!type) throw Error("unknown type \"" + std::string(type_name) + "\" of the " + std::string(what) + " array");
        std::string_view format = da.attribute("format").value();
        NdArray<T> out;
        if (format == "ascii") {
            std::vector<T> values;
            read_ascii(da, *type, what, values);
            out = NdArray<T>::vector(values);
        } else {
            Bytes raw;
            if (format == "binary") {
                std::string text = pcdata(da);
                Base64Reader b64(text);
                decode(b64, raw, what, scalar_size(*type), expected);
            } else if (format == "appended") {
                std::uint64_t offset = parse_u64_attr(da, "offset");
                if (offset > appended_.size())
                    throw Error("the appended offset of the " + std::string(what) + " array is past the end of the data");
                if (appended_b64_) {
                    Base64Reader b64(appended_.substr(offset));
                    decode(b64, raw, what, scalar_size(*type), expected);
                } else {
                    RawReader r{appended_.substr(offset)};
                    decode(r, raw, what, scalar_size(*type), expected);
                }
            } else {
                throw Error("unknown format \"" + std::string(format) + "\" of the " + std::string(what) + " array");
            }
            std::size_t size = scalar_size(*type);
            if (raw.size % size)
                throw Error("the " + std::string(what) + " array holds " + std::to_string(raw.size) +
                            " bytes, not a whole number of values");
            std::size_t n = raw.size / size;
            out = NdArray<T>::uninit({n});
            T* dst = n ? out.data_mut() : nullptr;
            if constexpr (std::is_same_v<T, double>)
                convert_to_f64(raw.data, n, *type, be_, dst, what);
            else if constexpr (std::is_same_v<T, std::int64_t>)
                convert_to_i64(raw.data, n, *type, be_, dst, what);
            else
                convert_to_u64(raw.data, n, *type, be_, dst, what);
        }
        if (expected && out.size() != *expected)
            throw Error("the " + std::string(what) + " array holds " + std::to_string(out.size()) + " values, expected " +
                        std::to_string(*expected));
        return out;
    }

    template <class T>
    std::vector<T> read_vector(const pugi::xml_node& da, std::string_view what, std::optional<std::uint64_t> expected) {
        NdArray<T> a = read<T>(da, what, expected);
        return std::vector<T>(a.data(), a.data() + a.size());
    }

private:
    // Decoded bytes: a view into the file where no decoding was needed, else owned.
    struct Bytes {
        const unsigned char* data = nullptr;
        std::size_t size = 0;
        std::vector<unsigned char> storage;
        void own() {
            data = storage.data();
            size = storage.size();
        }
    };

    struct RawReader {
        std::string_view t;
        std::size_t pos = 0;
        std::size_t max_remaining() const { return t.size() - pos; }
        const unsigned char* view(std::size_t n) {
            if (n > t.size() - pos) throw Error("appended data shorter than its declared size");
            const auto* p = reinterpret_cast<const unsigned char*>(t.data() + pos);
            pos += n;
            return p;
        }
        void read(std::size_t n, std::vector<unsigned char>& out) {
            const unsigned char* p = view(n);
            out.insert(out.end(), p, p + n);
        }
    };

    static std::string pcdata(const pugi::xml_node& da) {
        std::string text;
        for (pugi::xml_node c : da.children())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
        return text;
    }

    template <class Src>
    std::uint64_t header_word(Src& src, std::vector<unsigned char>& scratch) {
        scratch.clear();
        std::size_t hs = h64_ ? 8 : 4;
        src.read(hs, scratch);
        std::uint64_t v;
        convert_to_u64(scratch.data(), 1, h64_ ? ScalarType::UInt64 : ScalarType::UInt32, be_, &v, "header");
        return v;
    }

    template <class Src>
    void decode(Src& src, Bytes& out, std::string_view what, std::size_t value_size,
                std::optional<std::uint64_t> expected) {
        std::vector<unsigned char> scratch;
        std::optional<std::uint64_t> expected_bytes;
        if (expected) {
            if (*expected > SIZE_MAX / value_size) throw Error("the " + std::string(what) + " array is too large");
            expected_bytes = *expected * value_size;
        }
        if (!comp_) {
            std::uint64_t bytes = header_word(src, scratch);
            if (expected_bytes && bytes != *expected_bytes)
                throw Error("the " + std::string(what) + " array declares " + std::to_string(bytes) + " bytes, expected " +
                            std::to_string(*expected_bytes));
            if (bytes > src.max_remaining())
                throw Error("the " + std::string(what) + " array declares more bytes than the file holds");
            if constexpr (std::is_same_v<Src, RawReader>) {
                out.data = src.view(bytes);
                out.size = bytes;
            } else {
                src.read(bytes, out.storage);
                out.own();
            }
            return;
        }
        std::uint64_t blocks = header_word(src, scratch);
        std::uint64_t block_size = header_word(src, scratch);
        std::uint64_t last_size = header_word(src, scratch);
        std::size_t hs = h64_ ? 8 : 4;
        if (blocks > src.max_remaining() / hs)
            throw Error("the " + std::string(what) + " array declares more compressed blocks than the file holds");
        std::vector<std::uint64_t> csizes(blocks);
        std::uint64_t total_c = 0;
        for (auto& c : csizes) {
            c = header_word(src, scratch);
            if (c > src.max_remaining()) throw Error("a compressed block of the " + std::string(what) + " array overruns the file");
            total_c += c;
        }
        if (total_c > src.max_remaining())
            throw Error("the compressed blocks of the " + std::string(what) + " array overrun the file");
        std::uint64_t total = 0;
        if (blocks) {
            std::uint64_t last = last_size ? last_size : block_size;
            if (last > block_size) throw Error("the last block of the " + std::string(what) + " array exceeds the block size");
            if (blocks - 1 > (SIZE_MAX - last) / std::max<std::uint64_t>(block_size, 1) && block_size)
                throw Error("the " + std::string(what) + " array is too large");
            total = (blocks - 1) * block_size + last;
        }
        if (expected_bytes && total != *expected_bytes)
            throw Error("the " + std::string(what) + " array declares " + std::to_string(total) + " bytes, expected " +
                        std::to_string(*expected_bytes));
        if (total > max_decompressed_size(*comp_, total_c))
            throw Error("the " + std::string(what) + " array declares more data than its compressed blocks can hold");
        out.storage.resize(total);
        std::size_t pos = 0;
        for (std::uint64_t i = 0; i < blocks; ++i) {
            std::uint64_t size = i + 1 == blocks ? total - pos : block_size;
            scratch.clear();
            src.read(csizes[i], scratch);
            decompress_block(*comp_, scratch.data(), scratch.size(), out.storage.data() + pos, size);
            pos += size;
        }
        out.own();
    }

    template <class T>
    void read_ascii(const pugi::xml_node& da, ScalarType type, std::string_view what, std::vector<T>& out) {
        if constexpr (std::is_same_v<T, double>) {
            if (type != ScalarType::Float32 && type != ScalarType::Float64)
                throw Error("the " + std::string(what) + " array has type " + std::string(scalar_name(type)) +
                            ", expected Float32 or Float64");
        } else if (type == ScalarType::Float32 || type == ScalarType::Float64) {
            throw Error("the " + std::string(what) + " array has type " + std::string(scalar_name(type)) +
                        ", expected an integer type");
        }
        std::string text = pcdata(da);
        const char* p = text.data();
        const char* end = p + text.size();
        for (;;) {
            while (p < end && is_space(*p)) ++p;
            if (p == end) break;
            const char* tok = p;
            while (p < end && !is_space(*p)) ++p;
            T v{};
            auto [q, ec] = std::from_chars(tok, p, v);
            bool ok = q == p && (ec == std::errc() || (std::is_same_v<T, double> && ec == std::errc::result_out_of_range));
            if (!ok)
                throw Error("invalid value \"" + std::string(tok, p) + "\" in the " + std::string(what) + " array" +
                            (std::is_same_v<T, std::uint64_t> && *tok == '-' ? " (negative)" : ""));
            if constexpr (std::is_same_v<T, double>)
                if (type == ScalarType::Float32) v = static_cast<float>(v);
            out.push_back(v);
        }
    }

    bool be_, h64_;
    std::optional<Compressor> comp_;
    std::string_view appended_;
    bool appended_b64_;
};

void check_depth(const pugi::xml_node& root) {
    // Iterative walk: a deep document must not exhaust the stack.
    std::vector<std::pair<pugi::xml_node, std::size_t>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        if (depth > kMaxDepth) throw Error("XML nesting deeper than " + std::to_string(kMaxDepth) + " levels");
        for (pugi::xml_node c : node.children()) {
            if (c.type() == pugi::node_doctype) throw Error("XML document type declarations are not supported");
            if (c.type() == pugi::node_element) stack.emplace_back(c, depth + 1);
        }
    }
}

pugi::xml_node find_array(const pugi::xml_node& parent, std::string_view name) {
    for (pugi::xml_node da : parent.children("DataArray"))
        if (name == da.attribute("Name").value()) return da;
    return {};
}

}  // namespace

UMeshBase read_vtu(std::string_view text) {
    // Appended raw data is not XML: the markup is parsed up to it and closed by hand.
    std::string_view head = text, appended;
    bool appended_b64 = false;
    std::size_t ad = text.find("<AppendedData");
    pugi::xml_document ad_doc;
    if (ad != std::string_view::npos) {
        std::size_t gt = text.find('>', ad);
        if (gt == std::string_view::npos) throw Error("truncated AppendedData element");
        std::string tag(text.substr(ad, gt - ad));
        if (!tag.empty() && tag.back() == '/') tag.pop_back();
        tag += "/>";
        if (!ad_doc.load_buffer(tag.data(), tag.size(), pugi::parse_default, pugi::encoding_utf8))
            throw Error("invalid AppendedData element");
        std::string_view enc = ad_doc.child("AppendedData").attribute("encoding").value();
        if (enc == "base64")
            appended_b64 = true;
        else if (enc != "raw")
            throw Error("unknown AppendedData encoding \"" + std::string(enc) + "\"");
        std::size_t p = gt + 1;
        while (p < text.size() && is_space(text[p])) ++p;
        if (p >= text.size() || text[p] != '_') throw Error("the appended data does not start with \"_\"");
        appended = text.substr(p + 1);
        head = text.substr(0, ad);
    }
    std::size_t bad = first_invalid_utf8(head);
    if (bad != head.size()) throw Error("invalid UTF-8 in the XML markup" + text_position(head, bad));
    std::string markup(head);
    if (ad != std::string_view::npos) markup += "</VTKFile>";

    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(markup.data(), markup.size(), pugi::parse_default | pugi::parse_doctype,
                                                    pugi::encoding_utf8);
    if (!parsed)
        throw Error(std::string("invalid XML: ") + parsed.description() +
                    text_position(markup, static_cast<std::size_t>(parsed.offset)));
    check_depth(doc);

    pugi::xml_node file = doc.child("VTKFile");
    if (!file) throw Error("not a VTK XML file: missing the VTKFile element");
    if (std::string_view(file.attribute("type").value()) != "UnstructuredGrid") throw Error("Wrong vtk data type");
    std::string_view order = file.attribute("byte_order").value();
    bool be;
    if (order == "LittleEndian" || order.empty())
        be = false;
    else if (order == "BigEndian")
        be = true;
    else
        throw Error("unknown byte_order \"" + std::string(order) + "\"");
    std::string_view header = file.attribute("header_type").value();
    bool h64;
    if (header == "UInt32" || header.empty())
        h64 = false;
    else if (header == "UInt64")
        h64 = true;
    else
        throw Error("unknown header_type \"" + std::string(header) + "\"");
    std::optional<Compressor> comp;
    if (pugi::xml_attribute c = file.attribute("compressor"); c && *c.value()) {
        comp = compressor_from_name(c.value());
        if (!comp) throw Error("unknown compressor \"" + std::string(c.value()) + "\"");
    }

    pugi::xml_node grid_node = file.child("UnstructuredGrid");
    if (!grid_node) throw Error("Wrong vtk data type");
    pugi::xml_node piece = grid_node.child("Piece");
    if (!piece) throw Error("the unstructured grid has no piece");
    std::uint64_t npts = parse_u64_attr(piece, "NumberOfPoints");
    std::uint64_t ncells = parse_u64_attr(piece, "NumberOfCells");
    if (npts > SIZE_MAX / 3) throw Error("too many points");

    ArrayDecoder dec(be, h64, comp, appended, appended_b64);
    VtkGrid grid;
    pugi::xml_node points = piece.child("Points").child("DataArray");
    if (npts > 0 || points) {
        if (!points) throw Error("the piece has no points array");
        pugi::xml_attribute nc = points.attribute("NumberOfComponents");
        if (nc && std::string_view(nc.value()) != "3") throw Error("points must have 3 components");
        grid.points = dec.read<double>(points, "points", npts * 3);
        grid.points.reshape({npts, 3});
    } else {
        grid.points = ArrayF64::uninit({0, 3});
    }

    pugi::xml_node cells = piece.child("Cells");
    if (ncells > 0 || cells) {
        if (!cells) throw Error("the piece has no cells");
        auto need = [&](const char* name) {
            pugi::xml_node da = find_array(cells, name);
            if (!da) throw Error(std::string("the cells have no ") + name + " array");
            return da;
        };
        grid.offsets = dec.read<std::uint64_t>(need("offsets"), "offsets", ncells);
        grid.types = dec.read<std::uint64_t>(need("types"), "types", ncells);
        std::uint64_t conn_len = grid.offsets.empty() ? 0 : grid.offsets[grid.offsets.size() - 1];
        grid.connectivity = dec.read<std::uint64_t>(need("connectivity"), "connectivity", std::nullopt);
        if (grid.connectivity.size() < conn_len) throw Error("the cell offsets overrun the connectivity");
        if (pugi::xml_node faces = find_array(cells, "faces")) {
            grid.faces = dec.read_vector<std::uint64_t>(faces, "faces", std::nullopt);
            std::vector<std::int64_t> fo = dec.read_vector<std::int64_t>(need("faceoffsets"), "faceoffsets", ncells);
            // A cell that is no polyhedron marks its face offset with -1: carry the last end.
            grid.face_ends.resize(fo.size());
            std::uint64_t last = 0;
            for (std::size_t j = 0; j < fo.size(); ++j) {
                if (fo[j] >= 0) {
                    if (static_cast<std::uint64_t>(fo[j]) < last) throw Error("the face offsets decrease");
                    last = static_cast<std::uint64_t>(fo[j]);
                } else if (grid.types[j] == 42) {
                    throw Error("polyhedron cell " + std::to_string(j) + " has no faces");
                }
                grid.face_ends[j] = last;
            }
        } else if (pugi::xml_node fc = find_array(cells, "face_connectivity")) {
            // Faces stored once, polyhedra listing them: rebuilt as one face stream per cell.
            std::vector<std::uint64_t> fconn = dec.read_vector<std::uint64_t>(fc, "face_connectivity", std::nullopt);
            std::vector<std::uint64_t> foff = dec.read_vector<std::uint64_t>(need("face_offsets"), "face_offsets", std::nullopt);
            std::vector<std::uint64_t> p2f =
                dec.read_vector<std::uint64_t>(need("polyhedron_to_faces"), "polyhedron_to_faces", std::nullopt);
            std::vector<std::uint64_t> poff =
                dec.read_vector<std::uint64_t>(need("polyhedron_offsets"), "polyhedron_offsets", ncells);
            std::uint64_t prev = 0;
            grid.face_ends.resize(ncells);
            for (std::size_t j = 0; j < ncells; ++j) {
                std::uint64_t end = poff[j];
                if (end < prev || end > p2f.size()) throw Error("invalid polyhedron offsets");
                if (grid.types[j] == 42) {
                    grid.faces.push_back(end - prev);
                    for (std::uint64_t k = prev; k < end; ++k) {
                        std::uint64_t f = p2f[k];
                        if (f >= foff.size()) throw Error("a polyhedron refers to a face that does not exist");
                        std::uint64_t fb = f ? foff[f - 1] : 0, fe = foff[f];
                        if (fb > fe || fe > fconn.size()) throw Error("invalid face offsets");
                        grid.faces.push_back(fe - fb);
                        grid.faces.insert(grid.faces.end(), fconn.begin() + fb, fconn.begin() + fe);
                    }
                }
                grid.face_ends[j] = grid.faces.size();
                prev = end;
            }
        }
    } else {
        grid.connectivity = ArrayU64::uninit({0});
        grid.offsets = ArrayU64::uninit({0});
        grid.types = ArrayU64::uninit({0});
    }
    return mesh_from_vtk(std::move(grid));
}

}  // namespace zentrel::io
