#pragma once

#include <cstdint>
#include <string>

#include "service/content/version_info.h"
#include "service/core/result_codes.h"

namespace MapsService {

class FileSystem;

// config.cfg in the disk-cache folder: the installed map version (five 32-bit
// numbers) and the disk-cache size, little-endian, 24 or 32 bytes.
class ConfigFile {
public:
    static constexpr std::size_t kShortSize = 24;
    static constexpr std::size_t kFullSize = 32;

    // Reads an existing file; throws PhoneDriveInvalidException when it is
    // missing, unreadable or short.
    ConfigFile(FileSystem& fileSystem, std::wstring path);
    // Makes a new file with the version and size 0, creating its folder; throws
    // PhoneDriveInvalidException when it cannot be written.
    ConfigFile(FileSystem& fileSystem, std::wstring path, const VersionInfo& version);

    const VersionInfo& map_version() const { return m_mapVersion; }
    std::uint64_t diskcache_size() const { return m_diskcacheSize; }
    const std::wstring& path() const { return m_path; }

    // Each writes the file only when the value changed.
    [[nodiscard]] Result set_diskcache_size(std::uint64_t size);
    [[nodiscard]] Result set_map_version(const VersionInfo& version);

    [[nodiscard]] Result write();

    // The layout's decoding, shared with the fuzz target: false for a short buffer.
    static bool decode(const std::uint8_t* data, std::size_t size, VersionInfo& version,
                       std::uint64_t& diskcacheSize);

    // The full 32-byte form.
    static void encode(const VersionInfo& version, std::uint64_t diskcacheSize,
                       std::uint8_t (&bytes)[kFullSize]);

private:
    FileSystem& m_fileSystem;  // not owned
    std::wstring m_path;
    VersionInfo m_mapVersion;
    std::uint64_t m_diskcacheSize = 0;
};

}  // namespace MapsService
