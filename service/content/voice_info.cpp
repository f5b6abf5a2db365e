#include "service/content/voice_info.h"

#include <utility>
#include <vector>

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

constexpr std::pair<const wchar_t*, const wchar_t*> kLanguages[] = {
    {L"english", L"L01"},
    {L"english_us", L"L10"},
    {L"french", L"L02"},
    {L"spanish", L"L04"},
    {L"german", L"L03"},
    {L"italian", L"L05"},
    {L"portuguese", L"L13"},
    {L"brazilian", L"L76"},
    {L"dutch", L"L18"},
    {L"danish", L"L07"},
    {L"finnish", L"L09"},
    {L"swedish", L"L06"},
    {L"norwegian", L"L08"},
    {L"czech", L"L25"},
    {L"russian", L"L16"},
    {L"slovenian", L"L28"},
    {L"polish", L"L27"},
    {L"greek", L"L54"},
    {L"turkish", L"L14"},
    {L"arabic", L"L37"},
    {L"mandarin_chinese", L"L31"},
    {L"taiwanese_chinese", L"L29"},
    {L"cantonese", L"L30"},
    {L"catalan", L"L44"},
    {L"croatian", L"L45"},
    {L"urdu", L"L94"},
    {L"farsi", L"L50"},
    {L"thai", L"L33"},
    {L"afrikaans", L"L34"},
    {L"French (Canada)", L"L51"},
    {L"Estonian", L"L49"},
    {L"mexican", L""},
    {L"hungarian", L""},
    {L"indonesian", L""},
    {L"malay", L""},
    {L"tamil", L""},
    {L"hindi", L""},
};

std::wstring unquote(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::uint64_t folder_size(FileSystem& fileSystem, const std::wstring& folder) {
    std::uint64_t size = 0;
    if (fileSystem.get_directory_size(folder, size) != kResultOk) {
        TraceWarning(L"size of voice folder %s not read completely", folder.c_str());
    }
    return size;
}

}  // namespace

bool find_language_id(const std::wstring& name, std::wstring& languageId) {
    if (name.empty()) {
        return false;
    }
    const std::wstring wanted = to_lower(name);
    for (const auto& [language, id] : kLanguages) {
        if (to_lower(language) == wanted) {
            languageId = id;
            return true;
        }
    }
    return false;
}

bool read_voice_folder_20(FileSystem& fileSystem, const std::wstring& folder, VoiceInfo& voice) {
    const std::wstring name = file_part(folder);
    std::wstring languageId;
    if (!find_language_id(name, languageId)) {
        TraceInfo(L"non-voice folder found: %s", folder.c_str());
        return false;
    }
    voice.languageId = languageId;
    voice.path = folder;
    voice.name = name;
    voice.valid = fileSystem.file_exists(join_path(folder, L"config.xml"));
    voice.size = folder_size(fileSystem, folder);
    return true;
}

bool read_voice_folder_30(FileSystem& fileSystem, const std::wstring& folder, VoiceInfo& voice) {
    std::vector<std::wstring> files;
    if (fileSystem.fetch_filenames(folder, files) != kResultOk) {
        return false;
    }
    std::wstring skin;
    for (const std::wstring& file : files) {
        const std::wstring name = to_lower(file_part(file));
        if (name.rfind(L"skin_", 0) == 0 && lower_extension(name) == L"lua") {
            skin = file;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (skin.empty() || fileSystem.read_file(skin, bytes) != kResultOk) {
        return false;
    }
    WideMap values;
    for (const std::wstring& line : text_lines(bytes)) {
        const auto equals = line.find(L'=');
        if (equals != std::wstring::npos) {
            values[trim_blanks(line.substr(0, equals))] = trim_blanks(line.substr(equals + 1));
        }
    }
    const auto version = values.find(L"audio_files_version");
    if (version == values.end()) {
        return false;
    }
    try {
        voice.version = VersionInfo::parse(unquote(version->second));
    } catch (const ConversionFailedException&) {
        TraceWarning(L"voice folder %s has an unreadable audio_files_version", folder.c_str());
        return false;
    }
    const auto language = values.find(L"language");
    if (language != values.end()) {
        voice.name = unquote(language->second);
    }
    voice.valid = true;
    voice.path = folder;
    voice.size = folder_size(fileSystem, folder);
    return true;
}

}  // namespace MapsService
