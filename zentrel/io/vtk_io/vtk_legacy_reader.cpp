#include <charconv>
#include <cmath>
#include <vector>

#include "zentrel/io/vtk_io/scalar_type.hpp"
#include "zentrel/io/vtk_io/vtk_legacy.hpp"

namespace zentrel::io {

namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

class Scanner {
public:
    explicit Scanner(std::string_view text) : t_(text) {}

    std::string_view line() {
        if (pos_ >= t_.size()) fail("truncated file");
        std::size_t nl = t_.find('\n', pos_);
        std::size_t end = nl == std::string_view::npos ? t_.size() : nl;
        std::string_view l = t_.substr(pos_, end - pos_);
        pos_ = nl == std::string_view::npos ? t_.size() : nl + 1;
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return l;
    }

    std::string_view token() {
        while (pos_ < t_.size() && is_space(t_[pos_])) ++pos_;
        std::size_t start = pos_;
        while (pos_ < t_.size() && !is_space(t_[pos_])) ++pos_;
        return t_.substr(start, pos_ - start);
    }

    std::string_view peek() {
        std::size_t save = pos_;
        std::string_view tok = token();
        pos_ = save;
        return tok;
    }

    std::uint64_t count(std::string_view what) {
        std::string_view tok = token();
        std::uint64_t v = 0;
        auto [p, ec] = std::from_chars(tok.data(), tok.data() + tok.size(), v);
        if (tok.empty() || ec != std::errc() || p != tok.data() + tok.size())
            fail("expected a non-negative integer for " + std::string(what) + ", got \"" + std::string(tok) + "\"");
        return v;
    }

    // Binary data starts after the end of the line holding its header.
    void end_of_header_line() {
        std::size_t nl = t_.find('\n', pos_);
        if (nl == std::string_view::npos) fail("truncated file");
        pos_ = nl + 1;
    }

    const unsigned char* bytes(std::uint64_t count, std::size_t size, std::string_view what) {
        if (count > (t_.size() - pos_) / size) fail("truncated " + std::string(what) + " data");
        const auto* p = reinterpret_cast<const unsigned char*>(t_.data() + pos_);
        pos_ += count * size;
        return p;
    }

    // An ASCII section holds at least one character and one separator per value.
    void check_ascii_room(std::uint64_t count, std::string_view what) {
        if (count > (t_.size() - pos_ + 1) / 2) fail("truncated " + std::string(what) + " data");
    }

    bool eof() const { return pos_ >= t_.size(); }

    bool at_end() {
        while (pos_ < t_.size() && is_space(t_[pos_])) ++pos_;
        return pos_ >= t_.size();
    }

    [[noreturn]] void fail(const std::string& msg) { throw Error(msg); }

private:
    std::string_view t_;
    std::size_t pos_ = 0;
};

class LegacyReader {
public:
    explicit LegacyReader(std::string_view text) : s_(text) {}

    UMeshBase read() {
        std::string_view magic = s_.line();
        constexpr std::string_view kMagic = "# vtk DataFile Version";
        if (magic.substr(0, kMagic.size()) != kMagic) s_.fail("not a legacy VTK file: missing the header line");
        s_.line();  // title
        std::string_view format = s_.token();
        if (iequals(format, "BINARY"))
            binary_ = true;
        else if (!iequals(format, "ASCII"))
            s_.fail("unknown legacy VTK file format \"" + std::string(format) + "\", expected ASCII or BINARY");

        bool have_dataset = false, have_points = false, have_types = false, have_cells = false;
        VtkGrid grid;
        while (!s_.at_end()) {
            std::string_view kw = s_.token();
            if (iequals(kw, "DATASET")) {
                std::string_view kind = s_.token();
                if (!iequals(kind, "UNSTRUCTURED_GRID")) s_.fail("Wrong vtk data type");
                have_dataset = true;
            } else if (!have_dataset && !iequals(kw, "FIELD")) {
                s_.fail("expected DATASET, got \"" + std::string(kw) + "\"");
            } else if (iequals(kw, "POINTS")) {
                std::uint64_t n = s_.count("the number of points");
                ScalarType t = type_token("points");
                if (n > SIZE_MAX / 3) s_.fail("too many points");
                grid.points = read_f64(n * 3, t, "points");
                grid.points.reshape({n, 3});
                have_points = true;
            } else if (iequals(kw, "CELLS")) {
                read_cells(grid);
                have_cells = true;
            } else if (iequals(kw, "CELL_TYPES")) {
                std::uint64_t n = s_.count("the number of cell types");
                if (binary_) s_.end_of_header_line();
                grid.types = read_u64<ArrayU64>(n, ScalarType::Int32, "cell types");
                have_types = true;
            } else if (iequals(kw, "METADATA")) {
                skip_metadata();
            } else if (iequals(kw, "FIELD")) {
                skip_field();
            } else if (iequals(kw, "POINT_DATA") || iequals(kw, "CELL_DATA")) {
                break;  // attributes are not read
            } else {
                s_.fail("unknown legacy VTK keyword \"" + std::string(kw) + "\"");
            }
        }
        if (!have_dataset) s_.fail("missing DATASET");
        if (!have_points) s_.fail("missing POINTS");
        if (have_cells != have_types) s_.fail(have_cells ? "missing CELL_TYPES" : "missing CELLS");
        if (!have_cells) {
            grid.connectivity = ArrayU64::uninit({0});
            grid.offsets = ArrayU64::uninit({0});
            grid.types = ArrayU64::uninit({0});
        }
        // Only polyhedra keep face streams in the connectivity.
        grid.streams_in_connectivity = false;
        for (std::uint64_t t : grid.types.values()) grid.streams_in_connectivity |= t == 42;
        return mesh_from_vtk(std::move(grid));
    }

private:
    ScalarType type_token(std::string_view what) {
        std::string_view tok = s_.token();
        auto t = scalar_from_legacy_name(tok);
        if (!t) s_.fail("unknown data type \"" + std::string(tok) + "\" for " + std::string(what));
        if (binary_) s_.end_of_header_line();
        return *t;
    }

    ArrayF64 read_f64(std::uint64_t n, ScalarType t, std::string_view what) {
        ArrayF64 out;
        if (binary_) {
            const unsigned char* p = s_.bytes(n, scalar_size(t), what);
            out = ArrayF64::uninit({n});
            convert_to_f64(p, n, t, true, out.data_mut(), what);
            return out;
        }
        if (t != ScalarType::Float32 && t != ScalarType::Float64)
            convert_to_f64(nullptr, 0, t, true, nullptr, what);  // refuses the type
        s_.check_ascii_room(n, what);
        out = ArrayF64::uninit({n});
        for (double& v : out.values_mut()) {
            std::string_view tok = s_.token();
            auto [p, ec] = std::from_chars(tok.data(), tok.data() + tok.size(), v);
            if (tok.empty() || p != tok.data() + tok.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
                s_.fail(tok.empty() ? "truncated " + std::string(what) + " data"
                                    : "invalid number \"" + std::string(tok) + "\" in " + std::string(what));
            if (t == ScalarType::Float32) v = static_cast<float>(v);
        }
        return out;
    }

    template <class Out = std::vector<std::uint64_t>>
    Out read_u64(std::uint64_t n, ScalarType t, std::string_view what) {
        Out out;
        std::uint64_t* dst;
        if (binary_) {
            const unsigned char* p = s_.bytes(n, scalar_size(t), what);
            dst = resize(out, n);
            convert_to_u64(p, n, t, true, dst, what);
            return out;
        }
        s_.check_ascii_room(n, what);
        dst = resize(out, n);
        for (std::uint64_t i = 0; i < n; ++i) {
            std::string_view tok = s_.token();
            auto [p, ec] = std::from_chars(tok.data(), tok.data() + tok.size(), dst[i]);
            if (tok.empty() || ec != std::errc() || p != tok.data() + tok.size())
                s_.fail(tok.empty() ? "truncated " + std::string(what) + " data"
                                    : "expected a non-negative integer in " + std::string(what) + ", got \"" +
                                          std::string(tok) + "\"");
        }
        return out;
    }

    static std::uint64_t* resize(std::vector<std::uint64_t>& v, std::size_t n) {
        v.resize(n);
        return v.data();
    }
    static std::uint64_t* resize(ArrayU64& a, std::size_t n) {
        a = ArrayU64::uninit({n});
        return a.data_mut();
    }

    void read_cells(VtkGrid& grid) {
        std::uint64_t a = s_.count("the number of cells");
        std::uint64_t b = s_.count("the size of the cell list");
        if (iequals(s_.peek(), "OFFSETS")) {
            s_.token();
            ScalarType ot = type_token("offsets");
            std::vector<std::uint64_t> offsets = read_u64(a, ot, "offsets");
            if (!iequals(s_.token(), "CONNECTIVITY")) s_.fail("expected CONNECTIVITY after OFFSETS");
            ScalarType ct = type_token("connectivity");
            grid.connectivity = read_u64<ArrayU64>(b, ct, "connectivity");
            if (offsets.empty()) {
                if (b != 0) s_.fail("the cell offsets are empty but the connectivity is not");
                grid.offsets = ArrayU64::uninit({0});
                return;
            }
            if (offsets[0] != 0) s_.fail("the cell offsets do not start at 0");
            if (offsets.back() != b) s_.fail("the last cell offset does not match the connectivity size");
            grid.offsets = ArrayU64::vector(std::span<const std::uint64_t>(offsets).subspan(1));
            return;
        }
        // Older form: for each cell its point count, then its points.
        if (binary_) s_.end_of_header_line();
        std::vector<std::uint64_t> raw = read_u64(b, ScalarType::Int32, "cells");
        if (a > raw.size()) s_.fail("the cell list is shorter than its " + std::to_string(a) + " cells");
        grid.connectivity = ArrayU64::uninit({raw.size() >= a ? raw.size() - a : 0});
        std::uint64_t* conn = grid.connectivity.data_mut();
        grid.offsets = ArrayU64::uninit({a});
        std::uint64_t* ends = a ? grid.offsets.data_mut() : nullptr;
        std::size_t pos = 0, filled = 0;
        for (std::uint64_t j = 0; j < a; ++j) {
            if (pos >= raw.size()) s_.fail("the cell list is shorter than its " + std::to_string(a) + " cells");
            std::uint64_t len = raw[pos++];
            // Every later cell still needs its count.
            if (len > raw.size() - pos - (a - j - 1)) s_.fail("cell " + std::to_string(j) + " overruns the cell list");
            for (std::uint64_t k = 0; k < len; ++k) conn[filled++] = raw[pos++];
            ends[j] = filled;
        }
        if (pos != raw.size()) s_.fail("the cell list is longer than its " + std::to_string(a) + " cells");
    }

    void skip_metadata() {
        // Runs from the line after the keyword up to the first blank line.
        if (s_.eof()) return;
        s_.line();
        for (;;) {
            if (s_.eof()) return;
            std::string_view l = s_.line();
            bool blank = true;
            for (char c : l) blank = blank && is_space(c);
            if (blank) return;
        }
    }

    void skip_field() {
        s_.token();  // name
        std::uint64_t arrays = s_.count("the number of field arrays");
        for (std::uint64_t i = 0; i < arrays; ++i) {
            s_.token();  // array name
            std::uint64_t comps = s_.count("the number of components");
            std::uint64_t tuples = s_.count("the number of tuples");
            std::string_view tok = s_.token();
            auto t = scalar_from_legacy_name(tok);
            if (!t) s_.fail("unknown data type \"" + std::string(tok) + "\" in a field");
            if (comps && tuples > SIZE_MAX / comps) s_.fail("field array too large");
            std::uint64_t n = comps * tuples;
            if (binary_) {
                s_.end_of_header_line();
                s_.bytes(n, scalar_size(*t), "field");
            } else {
                s_.check_ascii_room(n, "field");
                for (std::uint64_t k = 0; k < n; ++k)
                    if (s_.token().empty()) s_.fail("truncated field data");
            }
            if (iequals(s_.peek(), "METADATA")) {
                s_.token();
                skip_metadata();
            }
        }
    }

    Scanner s_;
    bool binary_ = false;
};

}  // namespace

UMeshBase read_vtk_legacy(std::string_view text) { return LegacyReader(text).read(); }

}  // namespace zentrel::io
