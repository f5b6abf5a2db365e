#include "ui/wizard/language_module.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/core/trace.h"

namespace atlasync::ui {

namespace {

std::string unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            if (value[i + 1] == 'n') {
                out += '\n';
                ++i;
                continue;
            }
            if (value[i + 1] == '\\') {
                out += '\\';
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

}  // namespace

LanguageModule LanguageModule::load(const std::filesystem::path& path, std::uint32_t languageId) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    if (!file || !(content << file.rdbuf())) {
        throw MapsService::Exception("cannot read language module " + path.string(),
                                     MapsService::kResultDiskError);
    }
    return parse(content.str(), languageId);
}

LanguageModule LanguageModule::parse(std::string_view content, std::uint32_t languageId) {
    if (content.starts_with("\xEF\xBB\xBF")) {
        content.remove_prefix(3);
    }
    LanguageModule module;
    module.m_language = languageId;
    int lineNumber = 0;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        TextId id = 0;
        const std::string_view key = line.substr(0, equals);
        const auto [rest, error] = std::from_chars(key.data(), key.data() + key.size(), id);
        if (equals == std::string_view::npos || error != std::errc() ||
            rest != key.data() + key.size() || key.empty()) {
            MapsService::TraceWarning(L"language module: line %d is not \"id=text\"", lineNumber);
            module.m_skippedLines.push_back(lineNumber);
            continue;
        }
        module.m_texts[id] = MapsService::to_wide(unescape(line.substr(equals + 1)));
    }
    return module;
}

const std::wstring* LanguageModule::find(TextId id) const {
    const auto found = m_texts.find(id);
    return found != m_texts.end() ? &found->second : nullptr;
}

std::vector<TextId> LanguageModule::ids() const {
    std::vector<TextId> ids;
    ids.reserve(m_texts.size());
    for (const auto& [id, text] : m_texts) {
        ids.push_back(id);
    }
    return ids;
}

}  // namespace atlasync::ui
