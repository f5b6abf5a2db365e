#include "mapserver/body.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atlasync::mapserver {

namespace {

class MemoryBody : public Body {
public:
    explicit MemoryBody(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    bool read(std::uint64_t offset, char* buffer, std::size_t count) override {
        if (offset > m_bytes.size() || count > m_bytes.size() - offset) {
            return false;
        }
        m_bytes.copy(buffer, count, offset);
        return true;
    }
    const char* view(std::uint64_t offset) const override { return m_bytes.data() + offset; }

private:
    std::string m_bytes;
};

class FileBody : public Body {
public:
    FileBody(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    ~FileBody() override { ::close(m_fd); }
    FileBody(const FileBody&) = delete;
    FileBody& operator=(const FileBody&) = delete;

    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, char* buffer, std::size_t count) override {
        while (count > 0) {
            const ssize_t got = ::pread(m_fd, buffer, count, static_cast<off_t>(offset));
            if (got <= 0) {
                // A file cut short while it is sent: the answer must break, not pad.
                return false;
            }
            buffer += got;
            offset += static_cast<std::uint64_t>(got);
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }
    const char* view(std::uint64_t) const override { return nullptr; }

private:
    int m_fd;
    std::uint64_t m_size;
};

}  // namespace

std::shared_ptr<Body> memory_body(std::string bytes) {
    return std::make_shared<MemoryBody>(std::move(bytes));
}

std::shared_ptr<Body> file_body(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<FileBody>(fd, static_cast<std::uint64_t>(info.st_size));
}

}  // namespace atlasync::mapserver
