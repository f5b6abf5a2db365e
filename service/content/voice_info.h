#pragma once

#include <cstdint>
#include <string>

#include "service/content/version_info.h"

namespace MapsService {

class FileSystem;

// One voice package installed on a drive.
struct VoiceInfo {
    std::int32_t id = 0;  // the catalog item's id once linked, else 0
    std::wstring path;    // full path of the voice folder
    bool valid = false;
    std::uint64_t size = 0;
    VersionInfo version;
    std::wstring languageId;  // "L01"; empty when the language table has none
    std::wstring name;
};

// The language id of a voice name, case ignored; false for names not in the table.
bool find_language_id(const std::wstring& name, std::wstring& languageId);

// The 2.0 layout: a folder named after its language, valid with "config.xml".
// False (traced "non-voice folder found: %s") for a folder of another name.
bool read_voice_folder_20(FileSystem& fileSystem, const std::wstring& folder, VoiceInfo& voice);

// The 3.0 layout: the folder's last "skin_*.lua" file names the language and
// "audio_files_version". False without a skin file or without that key.
bool read_voice_folder_30(FileSystem& fileSystem, const std::wstring& folder, VoiceInfo& voice);

}  // namespace MapsService
