#include "service/devices/directory_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace MapsService {

namespace {

DIR* open_folder(int parentFd, const char* path) {
    const int fd = ::openat(parentFd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
    }
    return dir;
}

}  // namespace

LocalFolder::LocalFolder(const std::string& nativePath) {
    // The folder asked for may itself be reached through a link (a mount point
    // alias, a user's shortcut); only what lies below it is never followed.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        m_dir = ::fdopendir(fd);
        if (m_dir == nullptr) {
            ::close(fd);
        }
    }
}

LocalFolder::LocalFolder(const LocalFolder& parent, const std::string& name)
    : m_dir(parent.is_open() ? open_folder(parent.fd(), name.c_str()) : nullptr) {}

LocalFolder::~LocalFolder() {
    if (m_dir != nullptr) {
        ::closedir(m_dir);
    }
}

bool LocalFolder::next(LocalEntry& entry) {
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(m_dir);
        if (found == nullptr) {
            m_failed = errno != 0;
            return false;
        }
        if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) {
            continue;
        }
        entry.name = found->d_name;
        unsigned char type = found->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info {};
            if (::fstatat(fd(), found->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                m_failed = true;
                return false;
            }
            type = S_ISDIR(info.st_mode)   ? DT_DIR
                   : S_ISLNK(info.st_mode) ? DT_LNK
                   : S_ISREG(info.st_mode) ? DT_REG
                                           : DT_FIFO;
        }
        entry.kind = type == DT_DIR   ? LocalEntryKind::Directory
                     : type == DT_LNK ? LocalEntryKind::SymbolicLink
                     : type == DT_REG ? LocalEntryKind::File
                                      : LocalEntryKind::Other;
        return true;
    }
}

}  // namespace MapsService
