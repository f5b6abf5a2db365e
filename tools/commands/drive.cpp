// atlasync-tool drive: reads a local folder as a maps drive and prints what it holds.

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/content/region_qnr_map.h"
#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/protocol/server_url.h"
#include "tools/command.h"

namespace atlasync::tool {

namespace {

using namespace MapsService;

void print_settings(const MapSettings& settings) {
    std::printf("client id:       %s\n", to_narrow(settings.client_id()).c_str());
    std::printf("client version:  %s\n", to_narrow(settings.client_version().to_text()).c_str());
    std::printf("map version:     %s\n", to_narrow(settings.map_version().to_text()).c_str());
    std::printf("quota:           %llu\n", static_cast<unsigned long long>(settings.quota()));
    std::printf("diskcache:       %s\n", to_narrow(settings.diskcache()).c_str());
    std::printf("diskcache size:  %llu\n",
                static_cast<unsigned long long>(settings.diskcache_size()));
    std::printf("voicefiles:      %s\n", to_narrow(settings.voicefiles()).c_str());
    std::printf("language code:   %s\n", to_narrow(settings.language_code()).c_str());
}

int print_regions(PhoneDrive& drive) {
    const Result loaded = drive.load_url_infos();
    if (loaded != kResultOk) {
        std::fprintf(stderr, "atlasync-tool drive: catalogs not loaded (result %d)\n", loaded);
        return loaded;
    }
    std::vector<std::int32_t> regions;
    const Result result = drive.maps_bucket().GetRegionList(regions);
    if (result != kResultOk) {
        std::fprintf(stderr, "atlasync-tool drive: region scan failed (result %d)\n", result);
        return result;
    }
    std::printf("regions:         %zu\n", regions.size());
    for (std::int32_t id : regions) {
        const Region* region = drive.region_table()->find(id);
        std::printf("  %d\t%s\n", id, region ? to_narrow(region->name).c_str() : "");
    }
    return kResultOk;
}

int run(const std::vector<std::string>& args) {
    std::string path;
    std::string serverRoot;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--server-root" && i + 1 < args.size()) {
            serverRoot = args[++i];
        } else if (path.empty() && args[i].rfind("--", 0) != 0) {
            path = args[i];
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: atlasync-tool drive PATH [--server-root ROOT]\n");
        return kResultFailed;
    }
    auto fileSystem =
        std::make_unique<FileSystemWin>(to_wide(std::filesystem::absolute(path).string()));
    try {
        fileSystem->load_map_settings();
    } catch (const std::exception&) {
        std::fprintf(stderr, "atlasync-tool drive: %s is not a maps drive\n", path.c_str());
        return kResultInvalidDrive;
    }
    Phone phone(L"local folder", L"");
    phone.set_connected(true);
    PhoneDrive drive(&phone, std::move(fileSystem), true);
    drive.set_connected(true);
    print_settings(*drive.map_settings());

    int status = kResultOk;
    if (!serverRoot.empty()) {
        // A bare host[:port] names the map server the way the service does.
        const std::string url =
            serverRoot.rfind("http://", 0) == 0 ? serverRoot : "http://maps." + serverRoot;
        set_server_url_source([url] { return to_wide(url); });
        curl_global_init(CURL_GLOBAL_DEFAULT);
        status = print_regions(drive);
        curl_global_cleanup();
        set_server_url_source(nullptr);
    }
    std::vector<VoiceInfo> voices;
    const Result voiceResult = drive.maps_bucket().GetVoicesList(voices);
    std::printf("voices:          %zu\n", voices.size());
    for (const VoiceInfo& voice : voices) {
        std::printf("  %s\t%s\t%s\t%llu bytes\n", to_narrow(voice.name).c_str(),
                    to_narrow(voice.languageId).c_str(), to_narrow(voice.version.to_text()).c_str(),
                    static_cast<unsigned long long>(voice.size));
    }
    return status != kResultOk ? status : voiceResult;
}

const CommandRegistration kRegistration({
    "drive",
    "PATH [--server-root ROOT]",
    "read a local folder as a maps drive: settings, complete regions (with a server), voices",
    run,
});

}  // namespace

}  // namespace atlasync::tool
