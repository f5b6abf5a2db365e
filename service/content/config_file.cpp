#include "service/content/config_file.h"

#include <vector>

#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

constexpr std::uint32_t kWideSizeMarker = 0xFFFFFFFFu;

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void write_le32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::wstring drive_name(FileSystem& fileSystem) {
    return fileSystem.get_root_directory().path();
}

}  // namespace

bool ConfigFile::decode(const std::uint8_t* data, std::size_t size, VersionInfo& version,
                        std::uint64_t& diskcacheSize) {
    if (size < kShortSize) {
        return false;
    }
    const std::uint32_t sizeWord = read_le32(data + 20);
    if (sizeWord == kWideSizeMarker) {
        if (size < kFullSize) {
            return false;
        }
        diskcacheSize = static_cast<std::uint64_t>(read_le32(data + 24)) |
                        static_cast<std::uint64_t>(read_le32(data + 28)) << 32;
    } else {
        diskcacheSize = sizeWord;
    }
    version = VersionInfo(read_le32(data), read_le32(data + 4), read_le32(data + 8),
                          read_le32(data + 12), read_le32(data + 16));
    return true;
}

ConfigFile::ConfigFile(FileSystem& fileSystem, std::wstring path)
    : m_fileSystem(fileSystem), m_path(std::move(path)) {
    const std::wstring drive = drive_name(fileSystem);
    TraceInfo(L"creating ConfigFile object for drive %s with path %s", drive.c_str(),
              m_path.c_str());
    std::vector<std::uint8_t> bytes;
    if (!m_fileSystem.file_exists(m_path) || m_fileSystem.read_file(m_path, bytes) != kResultOk ||
        !decode(bytes.data(), bytes.size(), m_mapVersion, m_diskcacheSize)) {
        TraceError(L"failed creating ConfigFile object for drive %s with path %s", drive.c_str(),
                   m_path.c_str());
        throw PhoneDriveInvalidException();
    }
}

ConfigFile::ConfigFile(FileSystem& fileSystem, std::wstring path, const VersionInfo& version)
    : m_fileSystem(fileSystem), m_path(std::move(path)), m_mapVersion(version) {
    const std::wstring folder = directory_part(m_path);
    if (!folder.empty() && !m_fileSystem.directory_exists(folder) &&
        m_fileSystem.create_directory(folder) != kResultOk) {
        throw PhoneDriveInvalidException();
    }
    if (write() != kResultOk) {
        throw PhoneDriveInvalidException();
    }
}

Result ConfigFile::set_diskcache_size(std::uint64_t size) {
    if (size == m_diskcacheSize) {
        return kResultOk;
    }
    m_diskcacheSize = size;
    return write();
}

Result ConfigFile::set_map_version(const VersionInfo& version) {
    if (version == m_mapVersion) {
        return kResultOk;
    }
    m_mapVersion = version;
    return write();
}

void ConfigFile::encode(const VersionInfo& version, std::uint64_t diskcacheSize,
                        std::uint8_t (&bytes)[kFullSize]) {
    write_le32(bytes, version.a());
    write_le32(bytes + 4, version.b());
    write_le32(bytes + 8, version.c());
    write_le32(bytes + 12, version.d());
    write_le32(bytes + 16, version.fifth());
    write_le32(bytes + 20, kWideSizeMarker);
    write_le32(bytes + 24, static_cast<std::uint32_t>(diskcacheSize));
    write_le32(bytes + 28, static_cast<std::uint32_t>(diskcacheSize >> 32));
}

Result ConfigFile::write() {
    std::uint8_t bytes[kFullSize];
    encode(m_mapVersion, m_diskcacheSize, bytes);
    return m_fileSystem.write_file(m_path, bytes, kFullSize, 0, true);
}

}  // namespace MapsService
