#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "zentrel/io/output_buffer.hpp"

namespace zentrel::io {

// A whole file in memory, followed by `padding` zero bytes that parsers may read past the end.
struct FileBytes {
    const char* view = nullptr;  // the bytes, in `data` or in `mapping`
    std::unique_ptr<char[]> data;
    std::shared_ptr<const char> mapping;
    std::size_t size = 0;
    std::size_t capacity = 0;
};

// Fails with the system's message (and the path) when the file cannot be opened or read.
FileBytes read_file(const std::string& path, std::size_t padding = 0);

// A whole file mapped read-only (or read into memory where it cannot be mapped).
class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    std::string_view text() const { return {data_, size_}; }

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    FileBytes fallback_;
};

// Writes the file beside its target and renames it over the target only once `produce` has
// finished and every byte reached the disk cache: a failure leaves any previous file intact and
// no partial one behind. New files get mode 0666 less the umask; a replaced file keeps its mode.
void write_file_atomically(const std::string& path, const std::function<void(OutputBuffer&)>& produce);

}  // namespace zentrel::io
