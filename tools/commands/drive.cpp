// atlasync-tool drive: reads a local folder as a maps drive and prints what it holds.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tools/command.h"
#include "tools/commands/server_options.h"
#include "tools/commands/trace_options.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

using namespace MapsService;

void print_settings(const DriveSummary& drive) {
    std::printf("client id:       %s\n", to_narrow(drive.clientId).c_str());
    std::printf("client version:  %s\n", to_narrow(drive.clientVersion).c_str());
    std::printf("map version:     %s\n", to_narrow(drive.mapVersion).c_str());
    std::printf("quota:           %llu\n", static_cast<unsigned long long>(drive.quota));
    std::printf("diskcache:       %s\n", to_narrow(drive.diskcache).c_str());
    std::printf("diskcache size:  %llu\n", static_cast<unsigned long long>(drive.diskcacheSize));
    std::printf("voicefiles:      %s\n", to_narrow(drive.voicefiles).c_str());
    std::printf("language code:   %s\n", to_narrow(drive.languageCode).c_str());
}

int run(const std::vector<std::string>& args) {
    std::vector<std::string> path;
    ServerChoice server;
    TraceOptions trace;
    Options parser("drive", std::string("PATH ") + kServerSynopsis + " [--verbose] [--log FILE]");
    add_server_options(parser, server);
    add_trace_options(parser, trace);
    parser.words(path, 1, 1);
    if (!parser.parse(args) || !apply_trace_options("drive", trace)) {
        return kExitUsage;
    }
    const bool regions = !server.root.empty();
    if (const Result rooted = regions ? apply_server_choice(server) : kResultOk;
        rooted != kResultOk) {
        return exit_status_for(rooted);
    }
    DriveSummary drive;
    const Result result =
        read_drive_summary(to_wide(std::filesystem::absolute(path[0]).string()), regions, drive);
    if (result == kResultInvalidDrive) {
        std::fprintf(stderr, "atlasync-tool drive: %s is not a maps drive\n", path[0].c_str());
        return exit_status_for(result);
    }
    print_settings(drive);
    if (regions) {
        std::printf("server:          %s\n", to_narrow(get_server_url()).c_str());
    }
    if (drive.regionsRead) {
        std::printf("regions:         %zu\n", drive.regions.size());
        for (const DriveSummary::Region& region : drive.regions) {
            std::printf("  %d\t%s\n", region.id, to_narrow(region.name).c_str());
        }
    }
    std::printf("voices:          %zu\n", drive.voices.size());
    for (const VoiceInfo& voice : drive.voices) {
        std::printf("  %s\t%s\t%s\t%llu bytes\n", to_narrow(voice.name).c_str(),
                    to_narrow(voice.languageId).c_str(), to_narrow(voice.version.to_text()).c_str(),
                    static_cast<unsigned long long>(voice.size));
    }
    if (result != kResultOk) {
        std::fprintf(stderr, "atlasync-tool drive: not read whole (result %d)\n", result);
        (void)print_failure_cause("drive");
    }
    return exit_status_for(result);
}

const CommandRegistration kRegistration({
    "drive",
    "PATH [--server-root ROOT] [--ca-file FILE] [--verbose] [--log FILE]",
    "read a local folder as a maps drive: settings, complete regions (with a server), voices",
    run,
});

}  // namespace

}  // namespace atlasync::tool
