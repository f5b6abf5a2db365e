#include "service/zip/extracted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "service/zip/zip_reader.h"

namespace MapsService {

namespace {

[[noreturn]] void throw_write_error(const char* what, const std::string& path) {
    throw ArchiveError(std::string(what) + " " + path + ": " + std::strerror(errno));
}

}  // namespace

void FolderMaker::make_parents(const std::string& nativeFile) {
    const std::size_t slash = nativeFile.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    const std::string parent = nativeFile.substr(0, slash);
    if (m_known.count(parent) != 0) {
        return;
    }
    make_parents(parent);
    if (::mkdir(parent.c_str(), 0777) != 0 && errno != EEXIST) {
        throw_write_error("cannot create folder", parent);
    }
    m_known.insert(parent);
}

ExtractedFile::ExtractedFile(std::string nativePath) : m_path(std::move(nativePath)) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    m_fd = ::open(m_path.c_str(), kFlags, 0666);
    if (m_fd < 0 && errno == ELOOP) {
        // A symbolic link sits where the file goes: replace the link, not its target.
        if (::unlink(m_path.c_str()) == 0) {
            m_fd = ::open(m_path.c_str(), kFlags | O_EXCL, 0666);
        }
    }
    if (m_fd < 0) {
        throw_write_error("cannot create", m_path);
    }
}

ExtractedFile::~ExtractedFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed) {
        ::unlink(m_path.c_str());
    }
}

void ExtractedFile::write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            throw_write_error("cannot write", m_path);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

void ExtractedFile::commit() {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        throw_write_error("cannot close", m_path);
    }
    m_committed = true;
}

}  // namespace MapsService
