#include "service/content/drive_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system_win.h"
#include "service/devices/local_disk.h"

namespace MapsService {

namespace {

std::string hex_digest(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

}  // namespace

std::string DriveUpdateLock::identity(PhoneDrive& drive) {
    if (auto* local = dynamic_cast<FileSystemWin*>(&drive.file_system())) {
        std::string root;
        struct stat info {};
        if (local->native_file_path(local->get_root_directory().path(), root) == kResultOk &&
            ::stat(root.c_str(), &info) == 0) {
            return "volume:" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
        }
    }
    const std::wstring serial = drive.phone() != nullptr ? drive.phone()->serial_number() : L"";
    return "phone:" + to_narrow(serial) + ":" + to_narrow(drive.name());
}

Result DriveUpdateLock::take(PhoneDrive& drive, std::unique_ptr<DriveUpdateLock>& lock) {
    std::string folder;
    if (user_temp_folder(folder) != kResultOk) {
        return kResultDiskError;
    }
    const std::string path = folder + "/drive-" + hex_digest(identity(drive)) + ".lock";
    // The holder removes the file as it lets go: a lock taken on a file that
    // is gone meanwhile is taken again on the new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            TraceError("lock file %s not made (errno %d)", path.c_str(), errno);
            return kResultDiskError;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                TraceError(L"another update of drive %s is running", drive.name().c_str());
                return kResultDriveBusy;
            }
            TraceError("lock file %s not locked (errno %d)", path.c_str(), error);
            return kResultDiskError;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            lock.reset(new DriveUpdateLock(fd, path));
            return kResultOk;
        }
        ::close(fd);
    }
    return kResultDiskError;
}

DriveUpdateLock::~DriveUpdateLock() {
    ::unlink(m_path.c_str());
    ::close(m_fd);
}

}  // namespace MapsService
