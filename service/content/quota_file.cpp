#include "service/content/quota_file.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

// Whether a folder setting names a place outside the drive's root: absolute,
// with a drive letter, or climbing above the root with "..". Both slash kinds
// separate, as the phone and the PC each write their own.
bool leaves_root(const std::wstring& folder) {
    if (folder.empty()) {
        return false;
    }
    const wchar_t letter = static_cast<wchar_t>(folder[0] | 0x20);  // lower-cased if ASCII
    if (folder.front() == L'\\' || folder.front() == L'/' ||
        (folder.size() >= 2 && folder[1] == L':' && letter >= L'a' && letter <= L'z')) {
        return true;
    }
    int depth = 0;
    std::size_t start = 0;
    while (start <= folder.size()) {
        const std::size_t end = std::min(folder.find_first_of(L"\\/", start), folder.size());
        const std::wstring_view part(folder.data() + start, end - start);
        if (part == L"..") {
            if (--depth < 0) {
                return true;
            }
        } else if (!part.empty() && part != L".") {
            ++depth;
        }
        start = end + 1;
    }
    return false;
}

void replace_all(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (auto at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

QuotaFile::QuotaFile(FileSystem& fileSystem, std::wstring path)
    : m_fileSystem(fileSystem), m_path(std::move(path)) {
    std::vector<std::uint8_t> bytes;
    // A file that cannot be read is one that neither form accepts.
    const bool read = m_fileSystem.read_file(m_path, bytes) == kResultOk;
    const std::vector<std::wstring> lines =
        read ? drive_text_lines(bytes) : std::vector<std::wstring>();
    if (!read || (!read_current_form(lines) && !read_legacy_form(lines))) {
        throw PhoneDriveInvalidException();
    }
    m_valid = true;
    if (!m_clientVersion.is_valid()) {
        m_clientVersion = client_version_for(m_clientId);
    }
}

std::unique_ptr<QuotaFile> QuotaFile::lookup(FileSystem& fileSystem) {
    const std::wstring root = fileSystem.get_root_directory().path();
    for (const wchar_t* candidate : kCandidates) {
        const std::wstring path = join_path(root, candidate);
        if (!fileSystem.file_exists(path)) {
            continue;
        }
        try {
            return std::make_unique<QuotaFile>(fileSystem, path);
        } catch (const PhoneDriveInvalidException&) {
            TraceWarning(L"quota file %s is in neither form; skipped", path.c_str());
        }
    }
    return nullptr;
}

bool QuotaFile::read_current_form(const std::vector<std::wstring>& lines) {
    WideMap values;
    for (const std::wstring& line : lines) {
        const auto colon = line.find(L':');
        if (colon == std::wstring::npos) {
            values[line] = std::wstring();
            continue;
        }
        const std::wstring value = line.substr(colon + 1);
        const auto first = value.find_first_not_of(L" \t");
        values[line.substr(0, colon)] =
            first == std::wstring::npos ? std::wstring() : value.substr(first);
    }
    if (get_optional_value(values, L"format") != L"QF") {
        return false;
    }
    std::wstring quotaText;
    try {
        m_clientId = get_required_value(values, L"client_id");
        quotaText = get_required_value(values, L"quota");
    } catch (const MissingKeyException& missing) {
        TraceWarning(L"quota file %s lacks the key %s", m_path.c_str(), missing.key().c_str());
        return false;
    }
    m_quota = wstring_to_uint64(quotaText);
    m_cachedats = get_optional_value(values, L"cachedats");
    m_diskcache = get_optional_value(values, L"diskcache");
    m_voicefiles = get_optional_value(values, L"voicefiles");
    m_mapVersion = get_optional_value(values, L"map_version");
    m_voiceMode = get_optional_value(values, L"voice_mode");
    m_build = get_optional_value(values, L"build");
    m_languageId = get_optional_value(values, L"languageID");
    m_ttffiles = get_optional_value(values, L"ttffiles");
    const auto drive = m_ttffiles.find(L":\\");
    if (drive != std::wstring::npos) {
        m_ttffiles.erase(0, drive + 2);
    }
    refuse_folders_off_the_drive({{L"cachedats", &m_cachedats},
                                  {L"diskcache", &m_diskcache},
                                  {L"voicefiles", &m_voicefiles},
                                  {L"ttffiles", &m_ttffiles}});
    const std::wstring clientVersion = get_optional_value(values, L"client_version");
    if (!clientVersion.empty()) {
        m_hasClientVersion = true;
        // Only a version of exactly four parts is taken.
        if (split_dots(clientVersion).size() == 4) {
            m_clientVersion = VersionInfo::parse(clientVersion);
        }
    }
    return true;
}

bool QuotaFile::read_legacy_form(const std::vector<std::wstring>& lines) {
    if (lines.size() != 1) {
        return false;
    }
    const std::wstring& line = lines.front();
    const auto semicolon = line.find(L';');
    if (semicolon == std::wstring::npos) {
        return false;
    }
    std::uint64_t quota = 0;
    try {
        quota = wstring_to_uint64(line.substr(0, semicolon));
    } catch (const ConversionFailedException&) {
        return false;
    }
    // Leading blanks go as in the current form, which drops them on the next
    // read: kept here, the rewritten file would name another folder.
    std::wstring diskcache = line.substr(semicolon + 1);
    diskcache.erase(0, std::min(diskcache.find_first_not_of(L" \t"), diskcache.size()));
    replace_all(diskcache, L"\\\\", L"\\");
    refuse_folders_off_the_drive({{L"diskcache", &diskcache}});
    m_quota = quota;
    m_diskcache = diskcache;
    m_clientId = L"R47";
    const auto cut = diskcache.find(L"\\diskcache");
    m_voicefiles = cut == std::wstring::npos ? diskcache : diskcache.substr(0, cut);
    if (diskcache.find(L"20001f66") != std::wstring::npos) {
        m_voicefiles = m_fileSystem.get_root_directory().path() + L"\\private\\20001f66\\settings";
    }
    return true;
}

void QuotaFile::refuse_folders_off_the_drive(
    std::initializer_list<std::pair<const wchar_t*, const std::wstring*>> folders) const {
    for (const auto& [key, value] : folders) {
        if (leaves_root(*value)) {
            // Every wipe and download below such a folder would act next to the drive.
            TraceError(L"quota file %s: %s:%s leads off the drive; not a maps drive",
                       m_path.c_str(), key, value->c_str());
            throw PhoneDriveInvalidException();
        }
    }
}

Result QuotaFile::write() {
    std::wstring text = L"format:QF\n";
    text += L"client_id:" + m_clientId + L"\n";
    text += L"voice_mode:" + m_voiceMode + L"\n";
    text += L"quota:" + std::to_wstring(m_quota) + L"\n";
    text += L"diskcache:" + m_diskcache + L"\n";
    text += L"voicefiles:" + m_voicefiles + L"\n";
    text += L"cachedats:" + m_cachedats + L"\n";
    const std::pair<const wchar_t*, const std::wstring*> optional[] = {
        {L"map_version", &m_mapVersion},
        {L"languageID", &m_languageId},
        {L"ttffiles", &m_ttffiles}};
    for (const auto& [key, value] : optional) {
        if (!value->empty()) {
            text += key + std::wstring(L":") + *value + L"\n";
        }
    }
    if (m_clientVersion.is_valid() && m_hasClientVersion) {
        text += L"client_version:" + std::to_wstring(m_clientVersion.a()) + L"." +
                std::to_wstring(m_clientVersion.b()) + L"." + std::to_wstring(m_clientVersion.c()) +
                L"." + std::to_wstring(m_clientVersion.d()) + L"\n";
    }
    if (!m_build.empty()) {
        text += L"build:" + m_build + L"\n";
    }
    const std::string bytes = encode_drive_text(text);
    return m_fileSystem.write_file(m_path, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                   0, true);
}

}  // namespace MapsService
