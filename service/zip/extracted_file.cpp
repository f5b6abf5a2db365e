#include "service/zip/extracted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "service/core/posix_io.h"
#include "service/core/text.h"

namespace MapsService {

namespace {

[[noreturn]] void throw_write_error(const char* what, const std::string& path) {
    throw ExtractWriteError(std::string(what) + " " + path + ": " + std::strerror(errno));
}

// Removes whatever file or link is at the path.
void remove_name(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw_write_error("cannot replace", path);
    }
}

// A new file at the path, in place of whatever was there: never a write
// through a link, symbolic or hard, that something else left at this name.
int create_anew(const std::string& path, int access) {
    remove_name(path);
    const int fd = ::open(path.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw_write_error("cannot create", path);
    }
    return fd;
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

ExtractedFile::ExtractedFile(std::string nativePath, std::string finalPath)
    : m_path(std::move(nativePath)), m_finalPath(std::move(finalPath)) {
    m_fd = create_anew(m_path, O_WRONLY);
    m_created = true;
}

ExtractedFile::~ExtractedFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (m_created && !m_committed) {
        ::unlink(m_path.c_str());
    }
}

void ExtractedFile::write(const void* data, std::size_t size) {
    if (!write_fully(m_fd, data, size)) {
        throw_write_error("cannot write", m_path);
    }
}

void ExtractedFile::commit() {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        throw_write_error("cannot close", m_path);
    }
    // rename replaces the target in one step and never follows a link there.
    if (!m_finalPath.empty() && ::rename(m_path.c_str(), m_finalPath.c_str()) != 0) {
        throw_write_error("cannot rename to", m_finalPath);
    }
    m_committed = true;
}

WorkFile::WorkFile(const std::string& nativeFolder)
    : m_folder(nativeFolder), m_path(nativeFolder + "/.extracting.work") {}

WorkFile::~WorkFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
}

void WorkFile::open_new() {
    FolderMaker().make_parents(m_path);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_ownsName) {
        m_fd = create_anew(m_path, O_RDWR);
        return;
    }
    // A name after a handover may belong to an entry already written: never replace one.
    for (;;) {
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_ownsName = true;
            return;
        }
        if (errno != EEXIST) {
            throw_write_error("cannot create", m_path);
        }
        m_path = m_folder + "/.extracting-" + std::to_string(++m_handedOver) + ".work";
    }
}

bool WorkFile::is_named(const std::string& nativeFile) const {
    if (same_on_a_card(nativeFile, m_path)) {
        return true;
    }
    struct stat work {};
    struct stat there {};
    return ::fstat(m_fd, &work) == 0 && ::lstat(nativeFile.c_str(), &there) == 0 &&
           work.st_dev == there.st_dev && work.st_ino == there.st_ino;
}

void WorkFile::restart() {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_nlink != 1) {
        open_new();
        return;
    }
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        throw_write_error("cannot empty", m_path);
    }
}

void WorkFile::write(const void* data, std::size_t size) {
    if (!write_fully(m_fd, data, size)) {
        throw_write_error("cannot write", m_path);
    }
}

void WorkFile::link_as(const std::string& nativeFile) {
    if (is_named(nativeFile)) {
        // The entry is named as the work file (on a card, in any case): it
        // keeps the file under its own spelling, and the next entry is
        // written under another name.
        if (nativeFile != m_path && ::rename(m_path.c_str(), nativeFile.c_str()) != 0) {
            throw_write_error("cannot name", nativeFile);
        }
        ::close(m_fd);
        m_fd = -1;
        m_path = m_folder + "/.extracting-" + std::to_string(++m_handedOver) + ".work";
        m_ownsName = false;
        return;
    }
    remove_name(nativeFile);
    if (::link(m_path.c_str(), nativeFile.c_str()) == 0) {
        return;
    }
    // A file system without hard links: the work file itself takes the name.
    if (::rename(m_path.c_str(), nativeFile.c_str()) != 0) {
        throw_write_error("cannot name", nativeFile);
    }
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace MapsService
