#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zentrel::io {

// Byte buffer the writers append to. Without a sink it keeps everything (documents returned
// as strings); with a sink it hands its content over in large chunks, so writing a file
// never holds the whole text.
class OutputBuffer {
public:
    using Sink = std::function<void(const char*, std::size_t)>;

    OutputBuffer() = default;
    explicit OutputBuffer(Sink sink) : sink_(std::move(sink)) {}
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Room for n more bytes at the returned pointer; commit() says how many were used.
    char* reserve(std::size_t n) {
        if (cap_ - size_ < n) make_room(n);
        return data_.get() + size_;
    }
    void commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

    void append(const void* bytes, std::size_t n) {
        if (n == 0) return;
        if (sink_ && n >= kChunk) return append_large(bytes, n);
        std::memcpy(reserve(n), bytes, n);
        size_ += n;
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    void put(char c) {
        *reserve(1) = c;
        ++size_;
    }

    // Sets aside room for about n bytes in one allocation: pages never written cost nothing,
    // and the text is not moved as it grows.
    void reserve_total(std::size_t n) {
        if (!sink_ && n > cap_) make_room(n - size_);
    }
    // The content so far; only meaningful without a sink.
    std::string_view view() const { return {data_.get(), size_}; }

    // Hands any remaining bytes to the sink.
    void flush();
    // The whole content; only meaningful without a sink.
    std::string take_string();

private:
    void make_room(std::size_t n);
    void append_large(const void* bytes, std::size_t n);

    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    Sink sink_;
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
};

}  // namespace zentrel::io
