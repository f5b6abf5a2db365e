#include "service/content/version_info.h"

#include <map>
#include <vector>

#include "service/content/content_text.h"
#include "service/core/exceptions.h"

namespace MapsService {

namespace {

std::uint32_t zero_if_unset(std::uint32_t part) {
    return part == VersionInfo::kUnset ? 0 : part;
}

// The number formed by the text's digits, which must all be digits.
std::uint32_t digits_value(const std::wstring& text) {
    if (text.empty()) {
        throw ConversionFailedException();
    }
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            throw ConversionFailedException();
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > 0xFFFFFFFFu) {
            throw ConversionFailedException();
        }
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::wstring VersionInfo::to_text() const {
    if (!is_valid()) {
        return {};
    }
    std::wstring text = std::to_wstring(m_a);
    for (std::uint32_t part : {m_b, m_c, m_d}) {
        if (part != kUnset) {
            text += L'.';
            text += std::to_wstring(part);
        }
    }
    return text;
}

VersionInfo VersionInfo::parse(const std::wstring& text) {
    const std::vector<std::wstring> parts = split_dots(text);
    std::uint32_t values[4] = {kUnset, kUnset, kUnset, kUnset};
    for (std::size_t i = 0; i < parts.size() && i < 4; ++i) {
        values[i] = wstring_to_uint32(parts[i]);
    }
    return VersionInfo(values[0], values[1], values[2], values[3]);
}

bool VersionInfo::operator==(const VersionInfo& other) const {
    return zero_if_unset(m_a) == zero_if_unset(other.m_a) &&
           zero_if_unset(m_b) == zero_if_unset(other.m_b) &&
           zero_if_unset(m_c) == zero_if_unset(other.m_c) &&
           zero_if_unset(m_d) == zero_if_unset(other.m_d);
}

bool VersionInfo::operator<(const VersionInfo& other) const {
    const std::uint32_t mine[4] = {zero_if_unset(m_a), zero_if_unset(m_b), zero_if_unset(m_c),
                                   zero_if_unset(m_d)};
    const std::uint32_t theirs[4] = {zero_if_unset(other.m_a), zero_if_unset(other.m_b),
                                     zero_if_unset(other.m_c), zero_if_unset(other.m_d)};
    for (int i = 0; i < 4; ++i) {
        if (mine[i] != theirs[i]) {
            return mine[i] < theirs[i];
        }
    }
    return false;
}

std::wstring MapsappVersionInfo::to_text() const {
    std::wstring text = VersionInfo::to_text();
    if (m_week != kUnset) {
        text += L" wk " + std::to_wstring(m_week);
    }
    if (m_year != kUnset) {
        text += L"/" + std::to_wstring(m_year);
    }
    if (m_build != kUnset) {
        text += L" b" + std::to_wstring(m_build);
    }
    return text;
}

void MapsappVersionInfo::read_build_text(const std::wstring& build) {
    std::vector<std::wstring> words;
    std::wstring current;
    for (wchar_t c : build + L' ') {
        if (c == L' ' || c == L'\t') {
            if (!current.empty()) {
                words.push_back(std::move(current));
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (words.size() != 3 || words[0].size() < 2 || words[2].size() < 2) {
        return;
    }
    try {
        const std::wstring& first = words[0];
        const std::uint32_t week = digits_value(first.substr(first.size() - 2));
        const std::uint32_t year = first.size() > 4 ? digits_value(first.substr(0, 2)) : 8;
        const std::uint32_t number = digits_value(words[2].substr(1));
        set_build_parts(year, week, number);
    } catch (const ConversionFailedException&) {
        // A build text we cannot read leaves the parts unset.
    }
}

bool MapsappVersionInfo::is_older_than(const MapsappVersionInfo& other) const {
    if (static_cast<const VersionInfo&>(*this) < other) {
        return true;
    }
    if (!(static_cast<const VersionInfo&>(*this) == other)) {
        return false;
    }
    const std::uint32_t mine[3] = {zero_if_unset(m_year), zero_if_unset(m_week),
                                   zero_if_unset(m_build)};
    const std::uint32_t theirs[3] = {zero_if_unset(other.m_year), zero_if_unset(other.m_week),
                                     zero_if_unset(other.m_build)};
    for (int i = 0; i < 3; ++i) {
        if (mine[i] != theirs[i]) {
            return mine[i] < theirs[i];
        }
    }
    return false;
}

VersionInfo client_version_for(const std::wstring& clientId) {
    static const std::map<std::wstring, VersionInfo> table = {
        {L"r47", VersionInfo(1, 1, 1, 1)},
        {L"qtvmaps1.1", VersionInfo(1, 1, 1, 1)},
        {L"qtvmaps1.2", VersionInfo(1, 1, 999, 999)},
        {L"qtlmaps1.0", VersionInfo(1, 1, 2, 0)},
        {L"qtvmaps2.0", VersionInfo(1, 2, 0, 0)},
        {L"qtvmaps3.0", VersionInfo(1, 3, 15, 0)},
    };
    const auto found = table.find(to_lower(clientId));
    return found == table.end() ? VersionInfo() : found->second;
}

bool is_legacy_client(const std::wstring& clientId, const VersionInfo& clientVersion) {
    if (clientId == L"R47" || clientId == L"TGO_1.0W" || clientId == L"TGO_1.1W") {
        return false;
    }
    return clientVersion < VersionInfo(1, 3, 0, 0);
}

std::int32_t platform_code_for(const std::wstring& clientId) {
    return to_lower(clientId).find(L"qtl") != std::wstring::npos ? 1 : 3;
}

}  // namespace MapsService
