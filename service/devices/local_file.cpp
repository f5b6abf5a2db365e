#include "service/devices/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "service/core/posix_io.h"

namespace MapsService {

namespace {

constexpr std::size_t kCopyBlockSize = 256 * 1024;

std::string temp_name_for(const std::string& finalPath) {
    static std::atomic<unsigned> counter{0};
    return finalPath + ".partial-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string finalPath)
    : m_finalPath(std::move(finalPath)), m_tempPath(temp_name_for(m_finalPath)) {
    m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    m_created = m_fd >= 0;
}

ReplacingFile::~ReplacingFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (m_created && !m_committed) {
        ::unlink(m_tempPath.c_str());
    }
}

bool ReplacingFile::write(const void* data, std::size_t size) {
    return write_fully(m_fd, data, size);
}

bool ReplacingFile::sync() {
    return m_fd >= 0 && ::fsync(m_fd) == 0;
}

bool ReplacingFile::commit(bool overwrite) {
    if (m_fd < 0) {
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        return false;
    }
    if (overwrite) {
        m_committed = ::rename(m_tempPath.c_str(), m_finalPath.c_str()) == 0;
        return m_committed;
    }
    if (::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, m_finalPath.c_str(),
                    RENAME_NOREPLACE) == 0) {
        m_committed = true;
    } else if (errno == EINVAL && !exists(m_finalPath)) {
        // The volume cannot refuse to replace (FAT); checking first is the best it allows.
        m_committed = ::rename(m_tempPath.c_str(), m_finalPath.c_str()) == 0;
    }
    return m_committed;
}

bool copy_local_file(const std::string& nativeSource, const std::string& nativeTarget) {
    const int source = ::open(nativeSource.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return false;
    }
    ReplacingFile target(nativeTarget);
    const auto buffer = std::make_unique<char[]>(kCopyBlockSize);
    bool ok = target.is_open();
    while (ok) {
        const ssize_t count = ::read(source, buffer.get(), kCopyBlockSize);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        ok = target.write(buffer.get(), static_cast<std::size_t>(count));
    }
    ::close(source);
    return ok && target.commit(true);
}

bool flush_native(const std::string& nativePath) {
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool flushed = ::fsync(fd) == 0;
    if (!flushed && errno == EINVAL) {
        flushed = ::syncfs(fd) == 0;
    }
    ::close(fd);
    return flushed;
}

namespace {

constexpr long kFuseMagic = 0x65735546;

// The file system type the mount table gives the mount of a device
// ("fuseblk", "fuse.fusefat", ...); empty when it is not found.
std::string mount_type_of(dev_t device) {
    std::FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (table == nullptr) {
        return {};
    }
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::string type;
    char line[4096];
    while (type.empty() && std::fgets(line, sizeof line, table) != nullptr) {
        // "ID PARENT MAJOR:MINOR ROOT MOUNT OPTIONS [TAGS] - TYPE SOURCE ..."
        char numbers[64] = {};
        const char* separator = std::strstr(line, " - ");
        if (std::sscanf(line, "%*s %*s %63s", numbers) == 1 && wanted == numbers &&
            separator != nullptr) {
            char found[64] = {};
            if (std::sscanf(separator + 3, "%63s", found) == 1) {
                type = found;
            }
        }
    }
    std::fclose(table);
    return type;
}

}  // namespace

bool flush_volume(const std::string& nativePath) {
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool flushed = ::syncfs(fd) == 0;
    struct statfs volume {};
    struct stat info {};
    if (flushed && ::fstatfs(fd, &volume) == 0 && volume.f_type == kFuseMagic &&
        ::fstat(fd, &info) == 0 && mount_type_of(info.st_dev) != "fuseblk") {
        // A FUSE driver of a device it opened itself (FAT32 through fusefat)
        // writes it through caches no flush of the file system reaches: only
        // a flush of everything puts its writes on the device.
        ::sync();
    }
    ::close(fd);
    return flushed;
}

}  // namespace MapsService
