#include "service/content/quota_file.h"

#include <cwchar>
#include <vector>

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

// Wide text to the C runtime's multibyte form; characters it cannot convert become "?".
std::string to_multibyte(const std::wstring& text) {
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        const std::size_t length = std::wcrtomb(buffer, c, &state);
        if (length == static_cast<std::size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
        } else {
            out.append(buffer, length);
        }
    }
    return out;
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
    const std::vector<std::wstring> lines = read ? text_lines(bytes) : std::vector<std::wstring>();
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
    std::wstring diskcache = line.substr(semicolon + 1);
    replace_all(diskcache, L"\\\\", L"\\");
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
    const std::string bytes = to_multibyte(text);
    return m_fileSystem.write_file(m_path, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                   0, true);
}

}  // namespace MapsService
