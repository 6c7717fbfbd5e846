#include "zentrel/io/vtk_io/base64.hpp"

#include <array>

#include "zentrel/mesh/error.hpp"

namespace zentrel::io {

namespace {

constexpr std::array<signed char, 256> make_table() {
    std::array<signed char, 256> t{};
    for (auto& v : t) v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return t;
}
constexpr auto kTable = make_table();

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

// Decodes the next group of four characters into group_; false at the end of the text.
bool Base64Reader::next_group() {
    int vals[4];
    int got = 0, pad = 0;
    while (got < 4) {
        while (pos_ < t_.size() && is_space(t_[pos_])) ++pos_;
        if (pos_ >= t_.size()) {
            if (got == 0) return false;
            throw Error("invalid base64 data: truncated group");
        }
        char c = t_[pos_++];
        if (c == '=') {
            if (got < 2) throw Error("invalid base64 data: misplaced padding");
            ++pad;
            vals[got++] = 0;
            continue;
        }
        if (pad) throw Error("invalid base64 data: data after padding");
        int v = kTable[static_cast<unsigned char>(c)];
        if (v < 0) throw Error("invalid base64 data: unexpected character");
        vals[got++] = v;
    }
    unsigned bits = (vals[0] << 18) | (vals[1] << 12) | (vals[2] << 6) | vals[3];
    group_[0] = static_cast<unsigned char>(bits >> 16);
    group_[1] = static_cast<unsigned char>(bits >> 8);
    group_[2] = static_cast<unsigned char>(bits);
    pending_ = 3 - pad;
    taken_ = 0;
    return true;
}

void Base64Reader::read(std::size_t n, std::vector<unsigned char>& out) {
    if (n > max_remaining()) throw Error("invalid base64 data: shorter than its declared size");
    out.reserve(out.size() + n);
    while (n) {
        if (taken_ == pending_) {
            // Fast path: whole groups without whitespace or padding.
            while (n >= 3 && pos_ + 4 <= t_.size()) {
                int a = kTable[static_cast<unsigned char>(t_[pos_])], b = kTable[static_cast<unsigned char>(t_[pos_ + 1])],
                    c = kTable[static_cast<unsigned char>(t_[pos_ + 2])], d = kTable[static_cast<unsigned char>(t_[pos_ + 3])];
                if ((a | b | c | d) < 0) break;
                unsigned bits = (a << 18) | (b << 12) | (c << 6) | d;
                out.push_back(static_cast<unsigned char>(bits >> 16));
                out.push_back(static_cast<unsigned char>(bits >> 8));
                out.push_back(static_cast<unsigned char>(bits));
                pos_ += 4;
                n -= 3;
            }
            if (!n) return;
            if (!next_group()) throw Error("invalid base64 data: shorter than its declared size");
        }
        while (n && taken_ < pending_) {
            out.push_back(group_[taken_++]);
            --n;
        }
    }
}

}  // namespace zentrel::io
