#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

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

FileStamp stamp_of(const struct stat& info);
// The stamp of what the path names, links followed; none when it is missing.
std::optional<FileStamp> stamp_of(const std::filesystem::path& path, struct stat* info = nullptr);

// File times advance in ticks of at most 10 ms: what changed within the last
// tick may change again without its times moving, so a reading of it may be
// kept only once it has settled.
bool settled(const FileStamp& stamp);

// Readings of files or folders by path, each handed out again only while the
// stamp it was taken under stays. Safe from any thread.
template <typename Reading>
class StampedReadings {
public:
    std::optional<Reading> find(const std::string& path, const FileStamp& stamp) {
        std::lock_guard lock(m_mutex);
        const auto found = m_readings.find(path);
        if (found == m_readings.end() || !(found->second.first == stamp)) {
            return std::nullopt;
        }
        return found->second.second;
    }
    // Kept only once the stamp has settled.
    void keep(const std::string& path, const FileStamp& stamp, const Reading& reading) {
        if (!settled(stamp)) {
            return;
        }
        std::lock_guard lock(m_mutex);
        m_readings.insert_or_assign(path, std::make_pair(stamp, reading));
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::string, std::pair<FileStamp, Reading>> m_readings;
};

}  // namespace devlinx::sim
