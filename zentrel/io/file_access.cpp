#include "zentrel/io/file_access.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "zentrel/mesh/error.hpp"

namespace zentrel::io {

namespace {

[[noreturn]] void io_error(const std::string& what, const std::string& path, int err) {
    throw Error(what + " \"" + path + "\": " + std::strerror(err) + " (os error " + std::to_string(err) + ")");
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

std::string temp_name_for(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::string name = path + ".tmp" + std::to_string(::getpid()) + "." +
                       std::to_string(seed ^ (counter.fetch_add(1) * 2654435761u));
    return name;
}

}  // namespace

FileBytes read_file(const std::string& path, std::size_t padding) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) io_error("cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) io_error("cannot read", path, errno);
    if (S_ISDIR(st.st_mode)) io_error("cannot read", path, EISDIR);
    // A device such as /dev/zero would be read without end.
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) throw Error("cannot read \"" + path + "\": not a regular file");
    FileBytes out;
    // A mapping serves when the padding fits in the zeros of its last page.
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t fsize = static_cast<std::size_t>(st.st_size);
    if (S_ISREG(st.st_mode) && fsize > 0 && fsize % page != 0 && page - fsize % page > padding) {
        void* p = ::mmap(nullptr, fsize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (p != MAP_FAILED) {
            out.mapping = std::shared_ptr<const char>(static_cast<const char*>(p),
                                                      [fsize](const char* q) { ::munmap(const_cast<char*>(q), fsize); });
            out.view = out.mapping.get();
            out.size = fsize;
            out.capacity = fsize + padding;
            return out;
        }
    }
    std::size_t cap = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    out.capacity = cap + padding;
    out.data = std::make_unique_for_overwrite<char[]>(out.capacity + 1);
    // Read until end of file: the size from fstat is only a hint for special files.
    for (;;) {
        if (out.size == cap) {
            char probe;
            ssize_t n = ::read(fd.get(), &probe, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) io_error("cannot read", path, errno);
            if (n == 0) break;
            std::size_t grown = cap ? cap * 2 : 65536;
            auto fresh = std::make_unique_for_overwrite<char[]>(grown + padding + 1);
            std::memcpy(fresh.get(), out.data.get(), out.size);
            fresh[out.size++] = probe;
            out.data = std::move(fresh);
            cap = grown;
            out.capacity = cap + padding;
            continue;
        }
        ssize_t n = ::read(fd.get(), out.data.get() + out.size, cap - out.size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) io_error("cannot read", path, errno);
        if (n == 0) break;
        out.size += static_cast<std::size_t>(n);
    }
    std::memset(out.data.get() + out.size, 0, out.capacity + 1 - out.size);
    out.view = out.data.get();
    return out;
}

MappedFile::MappedFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) io_error("cannot open", path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) io_error("cannot read", path, errno);
    if (S_ISDIR(st.st_mode)) io_error("cannot read", path, EISDIR);
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        std::size_t n = static_cast<std::size_t>(st.st_size);
        void* p = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<const char*>(p);
            size_ = n;
            mapped_ = true;
            return;
        }
    }
    fallback_ = read_file(path);
    data_ = fallback_.view;
    size_ = fallback_.size;
}

MappedFile::~MappedFile() {
    if (mapped_) ::munmap(const_cast<char*>(data_), size_);
}

void write_file_atomically(const std::string& path, const std::function<void(OutputBuffer&)>& produce) {
    // Writing through a symbolic link replaces the file it points to, as truncation would.
    std::string target = path;
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
            exists = ::stat(target.c_str(), &st) == 0;
        } else {
            exists = false;
        }
    }
    if (exists) {
        if (S_ISDIR(st.st_mode)) io_error("cannot write", path, EISDIR);
        if (::access(target.c_str(), W_OK) != 0) io_error("cannot write", path, errno);
    }

    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = temp_name_for(target);
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) io_error("cannot create", path, errno);
    }
    if (raw < 0) io_error("cannot create", path, EEXIST);
    Fd fd(raw);
    try {
        if (exists) (void)::fchmod(fd.get(), st.st_mode & 07777);
        OutputBuffer out([&](const char* p, std::size_t n) {
            while (n) {
                ssize_t k = ::write(fd.get(), p, n);
                if (k < 0 && errno == EINTR) continue;
                if (k < 0) io_error("cannot write", path, errno);
                p += k;
                n -= static_cast<std::size_t>(k);
            }
        });
        produce(out);
        out.flush();
        if (::close(fd.release()) != 0) io_error("cannot write", path, errno);
        if (::rename(temp.c_str(), target.c_str()) != 0) io_error("cannot write", path, errno);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

}  // namespace zentrel::io
