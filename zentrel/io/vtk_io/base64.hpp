#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zentrel::io {

// Decodes base64 text on demand. Whitespace is skipped, and a padded group ends one encoded
// chunk without ending the stream: writers encode a header and its data as separate chunks.
class Base64Reader {
public:
    explicit Base64Reader(std::string_view text) : t_(text) {}

    // Appends exactly n decoded bytes to out; fails on invalid text or when it runs out.
    void read(std::size_t n, std::vector<unsigned char>& out);
    // An upper bound of the bytes still available, for checking declared sizes.
    std::size_t max_remaining() const { return (t_.size() - pos_) / 4 * 3 + 3 + pending_; }

private:
    bool next_group();

    std::string_view t_;
    std::size_t pos_ = 0;
    unsigned char group_[3] = {};
    std::size_t pending_ = 0, taken_ = 0;
};

}  // namespace zentrel::io
