#include "service/devices/file_system_win.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "service/core/local_path.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/directory_walk.h"
#include "service/devices/local_disk.h"
#include "service/devices/local_file.h"
#include "service/devices/path_helpers.h"
#include "service/zip/extract.h"

namespace MapsService {

namespace {

bool volume_info(const std::wstring& path, struct statvfs& info) {
    return ::statvfs(to_native_path(path).c_str(), &info) == 0;
}

bool native_stat(const std::wstring& path, struct stat& info) {
    return ::stat(to_native_path(path).c_str(), &info) == 0;
}

// Sums the regular files below an open folder, skipping dot names. Links are
// neither counted nor entered: what they point at is not on the drive.
bool add_folder_size(LocalFolder& folder, std::uint64_t& size) {
    LocalEntry entry;
    while (folder.next(entry)) {
        if (entry.name.front() == '.') {
            continue;
        }
        if (entry.kind == LocalEntryKind::Directory) {
            LocalFolder child(folder, entry.name);
            if (!child.is_open() || !add_folder_size(child, size)) {
                return false;
            }
        } else if (entry.kind == LocalEntryKind::File) {
            struct stat info {};
            if (::fstatat(folder.fd(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                return false;
            }
            size += S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
        }
    }
    return !folder.failed();
}

// Calls back with every entry and the open folder it is in; 1 when the folder
// cannot be read.
template <typename Visit>
Result list_folder(const std::wstring& path, Visit visit) {
    LocalFolder folder(to_native_path(path));
    if (!folder.is_open()) {
        return kResultFailed;
    }
    LocalEntry entry;
    while (folder.next(entry)) {
        visit(folder, entry);
    }
    return kResultOk;
}

}  // namespace

FileSystemWin::FileSystemWin(std::wstring rootPath)
    : FileSystem(kConnectionKind), m_rootPath(std::move(rootPath)) {
    struct statvfs info {};
    m_writeProtected = !volume_info(m_rootPath, info) || (info.f_flag & ST_RDONLY) != 0;
}

DirectoryEntry FileSystemWin::get_root_directory() {
    return DirectoryEntry(m_rootPath, this);
}

bool FileSystemWin::through_link(const std::wstring& path, bool lastToo) const {
    std::string root = to_native_path(m_rootPath);
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    const std::string native = to_native_path(path);
    if (native.compare(0, root.size(), root) != 0 ||
        (native.size() > root.size() && native[root.size()] != '/' && root != "/")) {
        return false;  // a local file of ours, such as a download in the work folder
    }
    std::vector<std::string> parts;
    for (std::size_t at = root.size(); at < native.size();) {
        const std::size_t end = std::min(native.find('/', at), native.size());
        if (end > at) {
            parts.push_back(native.substr(at, end - at));
        }
        at = end + 1;
    }
    std::ptrdiff_t depth = 0;
    for (const std::string& part : parts) {
        depth += part == ".." ? -1 : part == "." ? 0 : 1;
        if (depth < 0) {
            return true;
        }
    }
    std::string walked = root;
    std::vector<std::size_t> parents;  // lengths of walked before each step down
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == ".") {
            continue;
        }
        if (parts[i] == "..") {
            // Every folder walked so far is a real one, so ".." returns to its parent.
            walked.resize(parents.back());
            parents.pop_back();
            continue;
        }
        parents.push_back(walked.size());
        walked += (walked.back() == '/' ? "" : "/") + parts[i];
        if (i + 1 == parts.size() && !lastToo) {
            break;
        }
        struct stat info {};
        if (::lstat(walked.c_str(), &info) != 0) {
            return false;  // nothing below exists; the operation fails or creates real folders
        }
        if (S_ISLNK(info.st_mode)) {
            TraceWarning(L"%s leads through the link %s; not followed", path.c_str(),
                         to_wide(walked).c_str());
            return true;
        }
    }
    return false;
}

Result FileSystemWin::fetch_sub_directories(const std::wstring& path,
                                            std::vector<DirectoryEntry>& entries) {
    entries.clear();
    if (through_link(path, true)) {
        return kResultFailed;
    }
    return list_folder(path, [&](const LocalFolder&, const LocalEntry& entry) {
        if (entry.kind == LocalEntryKind::Directory && entry.name.front() != '.') {
            entries.emplace_back(join_path(path, to_wide(entry.name)), this);
        }
    });
}

Result FileSystemWin::fetch_filenames(const std::wstring& path, std::vector<std::wstring>& paths) {
    paths.clear();
    if (through_link(path, true)) {
        return kResultFailed;
    }
    return list_folder(path, [&](const LocalFolder&, const LocalEntry& entry) {
        if (entry.kind == LocalEntryKind::File) {
            paths.push_back(join_path(path, to_wide(entry.name)));
        }
    });
}

Result FileSystemWin::fetch_files(const std::wstring& path,
                                  std::vector<std::pair<std::wstring, std::uint64_t>>& files) {
    files.clear();
    if (through_link(path, true)) {
        return kResultFailed;
    }
    return list_folder(path, [&](const LocalFolder& folder, const LocalEntry& entry) {
        if (entry.kind == LocalEntryKind::File) {
            struct stat info {};
            const bool sized =
                ::fstatat(folder.fd(), entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode);
            files.emplace_back(join_path(path, to_wide(entry.name)),
                               sized ? static_cast<std::uint64_t>(info.st_size) : 0);
        }
    });
}

const std::wstring& FileSystemWin::get_memory_type() {
    static const std::wstring kMemoryCard = L"MMC";
    return kMemoryCard;
}

Result FileSystemWin::delete_file(const std::wstring& path) {
    if (through_link(path, false)) {
        return kResultPhoneFileSystem;
    }
    return ::unlink(to_native_path(path).c_str()) == 0 ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::delete_directory(const std::wstring& path) {
    if (through_link(path, false)) {
        return kResultPhoneFileSystem;
    }
    return delete_tree(path) == kResultOk ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::create_directory(const std::wstring& path) {
    if (through_link(path, true)) {
        return kResultPhoneFileSystem;
    }
    return platform_create_directory(path) == kResultOk ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::get_file_size(const std::wstring& path, std::uint64_t& size) {
    if (through_link(path, true)) {
        return kResultPhoneFileSystem;
    }
    return platform_get_file_size(path, size) == kResultOk ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::get_directory_size(const std::wstring& path, std::uint64_t& size) {
    size = 0;
    if (through_link(path, true)) {
        return kResultPhoneFileSystem;
    }
    LocalFolder folder(to_native_path(path));
    if (!folder.is_open() || !add_folder_size(folder, size)) {
        return kResultPhoneFileSystem;
    }
    return kResultOk;
}

Result FileSystemWin::get_time(const std::wstring& path, FileTimes& times) {
    struct statx info {};
    constexpr unsigned kMask = STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME;
    if (through_link(path, false) ||
        ::statx(AT_FDCWD, to_native_path(path).c_str(), AT_SYMLINK_NOFOLLOW, kMask, &info) != 0) {
        return kResultPhoneFileSystem;
    }
    // Not every file system records a birth time; the status change time is the
    // nearest it keeps.
    times.creation =
        (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
    times.lastAccess = info.stx_atime.tv_sec;
    times.lastWrite = info.stx_mtime.tv_sec;
    return kResultOk;
}

// Below the root a link is neither a file nor a folder; the root itself may be
// reached through one (a mount point alias).
bool FileSystemWin::file_exists(const std::wstring& path) {
    struct stat info {};
    return !through_link(path, true) && native_stat(path, info) && S_ISREG(info.st_mode);
}

bool FileSystemWin::directory_exists(const std::wstring& path) {
    struct stat info {};
    return !through_link(path, true) && native_stat(path, info) && S_ISDIR(info.st_mode);
}

Result FileSystemWin::read_file(const std::wstring& path, std::vector<std::uint8_t>& data) {
    if (through_link(path, true)) {
        return kResultPhoneFileSystem;
    }
    // Without O_NONBLOCK a FIFO would hold the worker until someone writes to it.
    const int fd = ::open(to_native_path(path).c_str(),
                          O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return kResultPhoneFileSystem;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        data.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < data.size()) {
            const ssize_t count = ::read(fd, data.data() + done, data.size() - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            ok = count > 0;  // the file shrinking under us is a failed read
            done += ok ? static_cast<std::size_t>(count) : 0;
        }
    }
    ::close(fd);
    return ok ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::write_file(const std::wstring& path, const void* data, std::uint32_t length,
                                 std::uint32_t /*reserved*/, bool overwrite) {
    if (through_link(path, false)) {
        return kResultDiskError;
    }
    const std::string native = to_native_path(path);
    struct stat info {};
    if (!overwrite && ::lstat(native.c_str(), &info) == 0) {
        return kResultFailed;
    }
    // Flushed before it replaces the old file, and its folder after: a card
    // pulled at any moment holds the old file or the new one, whole.
    ReplacingFile file(native);
    if (!file.is_open() || !file.write(data, length) || !file.sync()) {
        return kResultDiskError;
    }
    if (!file.commit(overwrite)) {
        return (!overwrite && errno == EEXIST) ? kResultFailed : kResultDiskError;
    }
    const std::wstring folder = directory_part(path);
    return flush_native(folder.empty() ? "." : to_native_path(folder)) ? kResultOk
                                                                       : kResultDiskError;
}

Result FileSystemWin::copy_to_device(const std::wstring& localSource,
                                     const std::wstring& targetFolder) {
    if (through_link(targetFolder, true)) {
        return kResultPhoneFull;
    }
    const std::wstring target = join_path(targetFolder, file_part(localSource));
    return copy_local_file(to_native_path(localSource), to_native_path(target)) ? kResultOk
                                                                                : kResultPhoneFull;
}

Result FileSystemWin::native_file_path(const std::wstring& path, std::string& native) const {
    if (through_link(path, false)) {
        return kResultPhoneFileSystem;
    }
    native = to_native_path(path);
    return kResultOk;
}

Result FileSystemWin::move_file(const std::wstring& source, const std::wstring& targetFolder) {
    if (through_link(source, false) || through_link(targetFolder, true)) {
        return kResultPhoneFileSystem;
    }
    const std::string from = to_native_path(source);
    const std::string to = to_native_path(join_path(targetFolder, file_part(source)));
    // rename replaces an existing file in one step, so there is no moment
    // without either version.
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return kResultOk;
    }
    if (errno == EXDEV && copy_local_file(from, to) && ::unlink(from.c_str()) == 0) {
        return kResultOk;
    }
    return kResultPhoneFileSystem;
}

Result FileSystemWin::move_folder(const std::wstring& source, const std::wstring& targetFolder) {
    if (through_link(source, false) || through_link(targetFolder, false)) {
        return kResultPhoneFileSystem;
    }
    return ::rename(to_native_path(source).c_str(), to_native_path(targetFolder).c_str()) == 0
               ? kResultOk
               : kResultPhoneFileSystem;
}

Result FileSystemWin::flush(const std::wstring& path) {
    if (through_link(path, true)) {
        return kResultPhoneFileSystem;
    }
    return flush_native(to_native_path(path)) ? kResultOk : kResultPhoneFileSystem;
}

Result FileSystemWin::flush_drive() {
    if (flush_volume(to_native_path(m_rootPath))) {
        return kResultOk;
    }
    TraceError(L"drive %s cannot be flushed", m_rootPath.c_str());
    return kResultPhoneFileSystem;
}

std::uint64_t FileSystemWin::allocation_unit() {
    struct statvfs info {};
    if (!volume_info(m_rootPath, info) || info.f_blocks == 0) {
        return 0;
    }
    return info.f_frsize;
}

std::int64_t FileSystemWin::total_space_bytes() {
    struct statvfs info {};
    if (!volume_info(m_rootPath, info) || info.f_blocks == 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.f_blocks) * static_cast<std::int64_t>(info.f_frsize);
}

std::int64_t FileSystemWin::free_space_bytes() {
    struct statvfs info {};
    if (!volume_info(m_rootPath, info) || info.f_blocks == 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

Result FileSystemWin::unzip_archive(const std::wstring& localArchive,
                                    const std::wstring& workFolder, ExtractionSink& sink,
                                    std::uint64_t& bytesWritten) {
    ExtractionContext context(sink);
    Result result = kResultDiskError;
    try {
        result = extract(localArchive, workFolder, context);
    } catch (const std::exception& e) {
        TraceError("exception in FileSystemWin::unzip_archive: %s", e.what());
    } catch (...) {
        TraceError("exception in FileSystemWin::unzip_archive");
    }
    bytesWritten = context.bytesWritten;
    return result;
}

}  // namespace MapsService
