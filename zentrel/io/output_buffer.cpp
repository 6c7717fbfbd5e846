#include "zentrel/io/output_buffer.hpp"

#include <algorithm>

namespace zentrel::io {

void OutputBuffer::make_room(std::size_t n) {
    if (sink_ && size_ >= kChunk) flush();
    if (cap_ - size_ >= n) return;
    std::size_t cap = std::max({cap_ + cap_ / 2, size_ + n, std::size_t{4096}});
    if (sink_) cap = std::max(size_ + n, std::min(cap, 2 * kChunk));
    auto fresh = std::make_unique_for_overwrite<char[]>(cap);
    if (size_) std::memcpy(fresh.get(), data_.get(), size_);
    data_ = std::move(fresh);
    cap_ = cap;
}

void OutputBuffer::append_large(const void* bytes, std::size_t n) {
    // Large arrays go to the sink as they are, rather than through a copy the size of the array.
    flush();
    sink_(static_cast<const char*>(bytes), n);
}

void OutputBuffer::flush() {
    if (sink_ && size_) sink_(data_.get(), size_);
    size_ = 0;
}

std::string OutputBuffer::take_string() {
    std::string s(data_.get() ? data_.get() : "", size_);
    size_ = 0;
    return s;
}

}  // namespace zentrel::io
