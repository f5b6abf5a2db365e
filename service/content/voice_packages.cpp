#include "service/content/voice_packages.h"

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

std::uint64_t size_value(const RecordAttributes& values, const wchar_t* key) {
    try {
        const std::wstring text = values.value(key);
        return text.empty() ? 0 : wstring_to_uint64(text);
    } catch (const ConversionFailedException&) {
        return 0;
    }
}

}  // namespace

URLInfo VoiceBasePackage::convert_item(const ServerRecord& record) {
    const RecordAttributes& values = record.attributes;
    return URLInfo(record.name, values.value(L"File"), {}, {}, values.value(L"Type"),
                   values.value(L"language"), values.value(L"MD5"), size_value(values, L"ByteSize"),
                   size_value(values, L"ContentSize"), convert_id(record.id),
                   convert_id(record.parentId), item_id(record), {});
}

const ServerRecord* VoiceBasePackage::find_item_by_file(const std::wstring& name) const {
    for (const ServerRecord& record : m_records) {
        if (base_name(record.attributes.value(L"File")) == name) {
            return &record;
        }
    }
    return nullptr;
}

Voice20Package::Voice20Package(std::wstring serverUrl, std::int32_t deviceGeneration,
                               std::wstring language)
    : VoiceBasePackage(std::move(serverUrl), deviceGeneration == 1 ? kGenerationOneName : kName,
                       std::move(language), L"", L"") {}

Result Voice20Package::load() {
    const Result result = VoiceBasePackage::load();
    if (result == kResultOk || m_packageName != kGenerationOneName) {
        return result;
    }
    m_packageName = kName;
    return VoiceBasePackage::load();
}

bool Voice20Package::read_voice_folder(FileSystem& fileSystem, const std::wstring& folder,
                                       VoiceInfo& voice) {
    return read_voice_folder_20(fileSystem, folder, voice);
}

const ServerRecord* Voice20Package::find_item(const VoiceInfo& voice) const {
    return find_item_by_file(voice.name);
}

Voice30Package::Voice30Package(std::wstring serverUrl, std::wstring language)
    : VoiceBasePackage(std::move(serverUrl), kName, std::move(language), L"", L"") {}

bool Voice30Package::read_voice_folder(FileSystem& fileSystem, const std::wstring& folder,
                                       VoiceInfo& voice) {
    return read_voice_folder_30(fileSystem, folder, voice);
}

const ServerRecord* Voice30Package::find_item(const VoiceInfo& voice) const {
    return find_item_by_file(file_part(voice.path));
}

}  // namespace MapsService
