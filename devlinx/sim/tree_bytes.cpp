// How full a memory is, without reading every file on every call: the byte
// count of each folder is kept with the folder's own times and read again only
// when those change. Adding, removing or renaming an entry changes its folder's
// times, so plain file operations of tests and tools are still seen.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "devlinx/sim/farm.h"
#include "devlinx/sim/file_stamp.h"

namespace devlinx::sim {

namespace {

struct FolderReading {
    FileStamp stamp;
    std::int64_t fileBytes = 0;  // regular files directly inside
    std::int64_t memoryIniBytes = 0;
    std::vector<std::string> subfolders;
};

bool read_folder(const std::string& folder, FolderReading& reading) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return false;
    }
    const int descriptor = ::dirfd(directory);
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        if (::fstatat(descriptor, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            reading.subfolders.push_back(name);
        } else if (S_ISREG(info.st_mode)) {
            reading.fileBytes += static_cast<std::int64_t>(info.st_size);
            if (name == kMemoryIni) {
                reading.memoryIniBytes = static_cast<std::int64_t>(info.st_size);
            }
        }
    }
    ::closedir(directory);
    return true;
}

class FolderUsage {
public:
    std::int64_t tree_bytes(const std::string& folder, bool excludeMemoryIni) {
        std::lock_guard lock(m_mutex);
        std::int64_t total = 0;
        std::vector<std::string> pending{folder};
        while (!pending.empty()) {
            const std::string path = std::move(pending.back());
            pending.pop_back();
            const FolderReading* inside = current(path);
            if (inside == nullptr) {
                continue;
            }
            total += inside->fileBytes;
            if (excludeMemoryIni && path == folder) {
                total -= inside->memoryIniBytes;
            }
            for (const std::string& name : inside->subfolders) {
                pending.push_back(path + "/" + name);
            }
        }
        return total;
    }

private:
    // The folder's reading, taken again when the folder changed; null when
    // it is no folder.
    const FolderReading* current(const std::string& folder) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            m_readings.erase(folder);
            return nullptr;
        }
        const FileStamp stamp = stamp_of(info);
        auto found = m_readings.find(folder);
        if (found != m_readings.end() && found->second.stamp == stamp) {
            return &found->second;
        }
        FolderReading reading;
        reading.stamp = stamp;
        if (!read_folder(folder, reading)) {
            m_readings.erase(folder);
            return nullptr;
        }
        if (!settled(stamp)) {
            m_unsettled = std::move(reading);
            m_readings.erase(folder);
            return &m_unsettled;
        }
        return &(m_readings[folder] = std::move(reading));
    }

    std::mutex m_mutex;
    std::unordered_map<std::string, FolderReading> m_readings;
    FolderReading m_unsettled;
};

}  // namespace

std::int64_t tree_bytes(const fs::path& folder) {
    static FolderUsage usage;
    std::error_code error;
    const bool memoryRoot = fs::exists(folder.parent_path() / kPhoneIni, error);
    std::string path = folder.lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return usage.tree_bytes(path, memoryRoot);
}

}  // namespace devlinx::sim
