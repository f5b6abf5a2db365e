// Any quota file is either refused or read; what is read survives being
// rewritten in the current form and read again (the font folder only shortens),
// and the rewritten file is rewritten again byte for byte, whatever its bytes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "service/content/quota_file.h"
#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"

namespace {

// One work folder per process, standing for the drive; removed at exit.
std::filesystem::path g_folder;

void remove_folder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

const std::filesystem::path& drive_folder() {
    if (g_folder.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-qf-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        g_folder = pattern;
        std::atexit(remove_folder);
    }
    return g_folder;
}

bool same(const MapsService::QuotaFile& a, const MapsService::QuotaFile& b) {
    return a.client_id() == b.client_id() && a.quota() == b.quota() &&
           a.diskcache() == b.diskcache() && a.voicefiles() == b.voicefiles() &&
           a.cachedats() == b.cachedats() &&
           // The font folder loses a drive prefix and leading blanks on every read.
           a.ttffiles().ends_with(b.ttffiles()) && a.build() == b.build() &&
           a.language_id() == b.language_id() && a.map_version() == b.map_version() &&
           a.voice_mode() == b.voice_mode() && a.client_version() == b.client_version() &&
           a.client_version().is_valid() == b.client_version().is_valid();
}

std::string content_of(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace MapsService;
    const std::filesystem::path& folder = drive_folder();
    std::ofstream(folder / "qf", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FileSystemWin drive(to_wide(folder.string()));
    try {
        QuotaFile first(drive, to_wide(folder.string()) + L"\\qf");
        if (first.write() != kResultOk) {
            std::abort();
        }
        const std::string written = content_of(folder / "qf");
        QuotaFile second(drive, to_wide(folder.string()) + L"\\qf");
        if (!same(first, second) || second.write() != kResultOk) {
            std::abort();
        }
        // Only a font folder that shortened again may change the bytes.
        if (first.ttffiles() == second.ttffiles() && content_of(folder / "qf") != written) {
            std::abort();
        }
    } catch (const PhoneDriveInvalidException&) {
    } catch (const ConversionFailedException&) {
    }
    return 0;
}
