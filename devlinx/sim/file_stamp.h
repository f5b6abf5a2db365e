#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>

namespace devlinx::sim {

// A file's or folder's identity and times: while they stay, so does its
// content (for a folder: its list of entries). Tests and tools change a farm
// at any moment, and the library reads it on every call.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const;
};

// The stamp of what the path names, links followed; none when it is missing.
std::optional<FileStamp> stamp_of(const std::filesystem::path& path, struct stat* info = nullptr);

// File times advance in ticks of at most 10 ms: what changed within the last
// tick may change again without its times moving, so a reading of it may be
// kept only once it has settled.
bool settled(const FileStamp& stamp);

}  // namespace devlinx::sim
