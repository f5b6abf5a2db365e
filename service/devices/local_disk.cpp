#include "service/devices/local_disk.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "service/core/local_path.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/directory_walk.h"

namespace MapsService {

namespace {

constexpr mode_t kOwnerAll = S_IRWXU;

bool fits_path_limit(const std::string& nativePath) {
    return nativePath.size() < PATH_MAX;
}

std::string absolute(const std::string& nativePath) {
    if (!nativePath.empty() && nativePath.front() == '/') {
        return nativePath;
    }
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        return {};
    }
    return std::string(cwd) + "/" + nativePath;
}

bool is_directory(const std::string& nativePath) {
    struct stat info {};
    return ::stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_directories(const std::string& nativePath, mode_t mode) {
    if (::mkdir(nativePath.c_str(), mode) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return is_directory(nativePath);
    }
    if (errno != ENOENT) {
        return false;
    }
    const std::size_t slash = nativePath.find_last_not_of('/', nativePath.rfind('/'));
    if (nativePath.rfind('/') == std::string::npos || slash == std::string::npos) {
        return false;
    }
    if (!make_directories(nativePath.substr(0, slash + 1), mode)) {
        return false;
    }
    return ::mkdir(nativePath.c_str(), mode) == 0 || (errno == EEXIST && is_directory(nativePath));
}

// A read-only folder keeps its entries on POSIX; give the owner the rights to
// empty it, as clearing a read-only attribute would.
void make_removable(int parentFd, const std::string& name) {
    struct stat info {};
    if (::fstatat(parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        (info.st_mode & kOwnerAll) != kOwnerAll) {
        ::fchmodat(parentFd, name.c_str(), info.st_mode | kOwnerAll, 0);
    }
}

bool remove_contents(LocalFolder& folder) {
    LocalEntry entry;
    while (folder.next(entry)) {
        if (entry.kind == LocalEntryKind::Directory) {
            make_removable(folder.fd(), entry.name);
            LocalFolder child(folder, entry.name);
            if (!child.is_open() || !remove_contents(child)) {
                return false;
            }
        }
        const int flags = entry.kind == LocalEntryKind::Directory ? AT_REMOVEDIR : 0;
        if (::unlinkat(folder.fd(), entry.name.c_str(), flags) != 0) {
            return false;
        }
    }
    return !folder.failed();
}

}  // namespace

Result platform_create_directory(const std::wstring& path) {
    const std::string native = absolute(to_native_path(path));
    if (native.empty() || !fits_path_limit(native)) {
        return kResultFailed;
    }
    return make_directories(native, 0777) ? kResultOk : kResultDiskError;
}

void remove_work_file(const std::wstring& path, const wchar_t* what) {
    std::error_code error;
    if (!path.empty() && !std::filesystem::remove(to_native_path(path), error) && error) {
        TraceWarning(L"%s %s not removed", what, path.c_str());
    }
}

Result platform_get_file_size(const std::wstring& path, std::uint64_t& size) {
    // Opening a FIFO without O_NONBLOCK waits for a writer; a device may act on
    // being opened at all. Only a regular file has a size worth reading.
    const int fd = ::open(to_native_path(path).c_str(),
                          O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        TraceError(L"%s: OpenFile() for %s returned with error: %d",
                   L"MapsService::platform_get_file_size", path.c_str(), errno);
        return kResultFailed;
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    const int error = known ? 0 : errno;
    ::close(fd);
    if (!known) {
        TraceError(L"%s: GetFileSizeEx() for %s returned with error: %d",
                   L"MapsService::platform_get_file_size", path.c_str(), error);
        return kResultFailed;
    }
    if (!S_ISREG(info.st_mode)) {
        TraceError(L"%s: %s is not a regular file", L"MapsService::platform_get_file_size",
                   path.c_str());
        return kResultFailed;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return kResultOk;
}

Result delete_tree(const std::wstring& path) {
    const std::string native = to_native_path(path);
    struct stat info {};
    if (::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // A link named as the tree goes as a link; its target is not ours to empty.
        return ::unlink(native.c_str()) == 0 ? kResultOk : kResultFailed;
    }
    if (::lstat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
        (info.st_mode & kOwnerAll) != kOwnerAll) {
        ::chmod(native.c_str(), info.st_mode | kOwnerAll);
    }
    {
        LocalFolder folder(native);
        if (!folder.is_open() || !remove_contents(folder)) {
            return kResultFailed;
        }
    }
    return ::rmdir(native.c_str()) == 0 ? kResultOk : kResultFailed;
}

Result user_temp_folder(std::string& nativePath) {
    const char* base = std::getenv("TMPDIR");
    std::string root = (base != nullptr && base[0] == '/') ? base : "/tmp";
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    nativePath = root + "/atlasync-" + std::to_string(::getuid());
    if (!fits_path_limit(nativePath)) {
        return kResultFailed;
    }
    if (::mkdir(nativePath.c_str(), 0700) != 0 && errno != EEXIST) {
        return kResultDiskError;
    }
    struct stat info {};
    if (::lstat(nativePath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid()) {
        TraceError("temporary folder %s is not a folder of this user", nativePath.c_str());
        return kResultDiskError;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(nativePath.c_str(), 0700) != 0) {
        return kResultDiskError;
    }
    return kResultOk;
}

Result create_temp_directory(const std::wstring& name, std::wstring& path) {
    std::string root;
    const Result rootResult = user_temp_folder(root);
    path = to_wide(root) + L"/" + name;
    if (rootResult != kResultOk) {
        return rootResult;
    }
    return platform_create_directory(path);
}

}  // namespace MapsService
