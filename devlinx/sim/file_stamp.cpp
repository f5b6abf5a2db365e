#include "devlinx/sim/file_stamp.h"

#include <time.h>

#include <algorithm>
#include <cstdint>

namespace devlinx::sim {

namespace {

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           nanoseconds(modified) == nanoseconds(other.modified) &&
           nanoseconds(changed) == nanoseconds(other.changed);
}

FileStamp stamp_of(const struct stat& info) {
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

std::optional<FileStamp> stamp_of(const std::filesystem::path& path, struct stat* info) {
    struct stat local {};
    struct stat& status = info != nullptr ? *info : local;
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return stamp_of(status);
}

bool settled(const FileStamp& stamp) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now) - std::max(nanoseconds(stamp.modified), nanoseconds(stamp.changed)) >
           20'000'000;
}

}  // namespace devlinx::sim
