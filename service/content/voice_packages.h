#pragma once

#include <string>
#include <vector>

#include "service/content/voice_info.h"
#include "service/protocol/server_package.h"

namespace MapsService {

class FileSystem;

// A voice catalog: how installed voice folders read and which item matches one.
class VoiceBasePackage : public ServerPackage {
public:
    using ServerPackage::ServerPackage;

    URLInfo convert_item(const ServerRecord& record) override;
    // Reads an installed voice folder of this catalog's layout; false when the
    // folder is not a voice.
    virtual bool read_voice_folder(FileSystem& fileSystem, const std::wstring& folder,
                                   VoiceInfo& voice) = 0;
    // The catalog item of an installed voice; null when there is none.
    virtual const ServerRecord* find_item(const VoiceInfo& voice) const = 0;

protected:
    // The first item whose "File", reduced to its base name, equals the name.
    const ServerRecord* find_item_by_file(const std::wstring& name) const;
};

// Voices in the 2.0 layout: one folder per language, named after it.
class Voice20Package : public VoiceBasePackage {
public:
    static constexpr const wchar_t* kName = L"mapportervoicepkg";
    static constexpr const wchar_t* kGenerationOneName = L"mapportervoicepkg40";

    // deviceGeneration 1 asks for the newer catalog name first.
    Voice20Package(std::wstring serverUrl, std::int32_t deviceGeneration, std::wstring language);

    // Falls back to the plain catalog name when the newer one fails.
    [[nodiscard]] Result load() override;
    bool read_voice_folder(FileSystem& fileSystem, const std::wstring& folder,
                           VoiceInfo& voice) override;
    const ServerRecord* find_item(const VoiceInfo& voice) const override;
};

// Voices in the 3.0 layout, described by their skin file.
class Voice30Package : public VoiceBasePackage {
public:
    static constexpr const wchar_t* kName = L"mapportervoicepkg30";

    Voice30Package(std::wstring serverUrl, std::wstring language);

    bool read_voice_folder(FileSystem& fileSystem, const std::wstring& folder,
                           VoiceInfo& voice) override;
    const ServerRecord* find_item(const VoiceInfo& voice) const override;
};

}  // namespace MapsService
