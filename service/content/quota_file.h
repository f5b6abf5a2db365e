#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/result_codes.h"

namespace MapsService {

class FileSystem;

// The quota file "qf" that the maps application keeps on its drive: folders,
// client identity and quota as key:value lines, or the legacy "quota;diskcache" line.
class QuotaFile {
public:
    // The places tried in order, relative to the drive root.
    static constexpr const wchar_t* kCandidates[] = {L"qf", L"private\\20001f63\\qf",
                                                     L"private\\20001f63\\diskcache\\qf"};

    // Reads the file at the full path. Throws PhoneDriveInvalidException when
    // neither form accepts it, ConversionFailedException for a quota that is not a number.
    QuotaFile(FileSystem& fileSystem, std::wstring path);

    // The first candidate that exists and is accepted; null when there is none.
    static std::unique_ptr<QuotaFile> lookup(FileSystem& fileSystem);

    // Rewrites the whole file in the current form at the path it was read from.
    [[nodiscard]] Result write();

    const std::wstring& cachedats() const { return m_cachedats; }
    const std::wstring& diskcache() const { return m_diskcache; }
    const std::wstring& voicefiles() const { return m_voicefiles; }
    const std::wstring& client_id() const { return m_clientId; }
    const std::wstring& map_version() const { return m_mapVersion; }
    const std::wstring& voice_mode() const { return m_voiceMode; }
    const std::wstring& ttffiles() const { return m_ttffiles; }
    const std::wstring& build() const { return m_build; }
    const std::wstring& language_id() const { return m_languageId; }
    std::uint64_t quota() const { return m_quota; }
    const VersionInfo& client_version() const { return m_clientVersion; }
    bool has_client_version() const { return m_hasClientVersion; }
    bool valid() const { return m_valid; }
    const std::wstring& path() const { return m_path; }

    void set_voicefiles(std::wstring value) { m_voicefiles = std::move(value); }
    void set_diskcache(std::wstring value) { m_diskcache = std::move(value); }
    void set_cachedats(std::wstring value) { m_cachedats = std::move(value); }
    void set_ttffiles(std::wstring value) { m_ttffiles = std::move(value); }
    void set_client_id(std::wstring value) { m_clientId = std::move(value); }
    void set_build(std::wstring value) { m_build = std::move(value); }
    // Also marks the file as carrying a client version of its own.
    void set_client_version(const VersionInfo& version) {
        m_clientVersion = version;
        m_hasClientVersion = true;
    }

private:
    bool read_current_form(const std::vector<std::wstring>& lines);
    bool read_legacy_form(const std::vector<std::wstring>& lines);
    // Throws PhoneDriveInvalidException (traced with the value) for a folder
    // that is absolute, has a drive letter or climbs above the root.
    void refuse_folders_off_the_drive(
        std::initializer_list<std::pair<const wchar_t*, const std::wstring*>> folders) const;

    FileSystem& m_fileSystem;  // not owned
    std::wstring m_path;
    std::wstring m_cachedats;
    std::wstring m_diskcache;
    std::wstring m_voicefiles;
    std::wstring m_clientId;
    std::wstring m_mapVersion;
    std::wstring m_voiceMode;
    std::wstring m_ttffiles;
    std::wstring m_build;
    std::wstring m_languageId;
    std::uint64_t m_quota = 0;
    VersionInfo m_clientVersion;
    bool m_hasClientVersion = false;
    bool m_valid = false;
};

}  // namespace MapsService
