// atlasync-tool phones: what the phone manager holds once the service's phone
// side started; optionally folders handed in as volumes, and the phones and
// drives coming and going afterwards.

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tools/command.h"
#include "tools/commands/json_output.h"
#include "tools/commands/server_options.h"
#include "tools/commands/trace_options.h"
#include "tools/interrupt.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

using namespace MapsService;

struct PhonesOptions {
    ServerChoice server;  // where the device table comes from; empty: the default
    std::vector<std::filesystem::path> volumes;
    bool watch = false;
    bool json = false;            // the list as one JSON document, then each message as a JSON line
    std::int32_t driveFlags = 0;  // 1: empty memory cards are maps drives; 2: phone memories too
    TraceOptions trace;
};

bool parse(const std::vector<std::string>& args, PhonesOptions& options) {
    Options parser("phones", "");
    parser.flag("--watch", options.watch);
    parser.flag("--json", options.json);
    parser.each("--volume", [&options](const std::string& value) {
        options.volumes.emplace_back(value);
        return std::string();
    });
    parser.number("--drive-flags", options.driveFlags);
    add_server_options(parser, options.server);
    add_trace_options(parser, options.trace);
    return parser.parse(args) && apply_trace_options("phones", options.trace);
}

// `failure`: the first step that failed, named in the JSON document.
void list_phones(bool json, const StepReport* failure) {
    const std::vector<PhoneInfo> phones = connected_phones();
    if (json) {
        std::printf("%s\n", phones_json(phones, failure).c_str());
        std::fflush(stdout);
        return;
    }
    if (phones.empty()) {
        std::printf("No phones connected.\n");
    }
    for (const PhoneInfo& phone : phones) {
        std::printf("phone %d  %s (serial %s, model %s, device type %d, generation %d)\n", phone.id,
                    to_narrow(phone.name).c_str(), to_narrow(phone.serialNumber).c_str(),
                    to_narrow(phone.model).c_str(), phone.deviceType, phone.generation);
        for (const DriveInfo& drive : phone.drives) {
            std::printf("  drive %d  %s  %s  %s  total %lld  free %lld\n", drive.id,
                        to_narrow(drive.name).c_str(), to_narrow(drive.memoryType).c_str(),
                        drive.valid ? "valid" : "invalid", static_cast<long long>(drive.totalBytes),
                        static_cast<long long>(drive.freeBytes));
        }
    }
}

// Prints each service message until interrupted.
void watch(bool json) {
    if (!json) {
        std::printf("Watching phones and drives; interrupt to stop.\n");
        std::fflush(stdout);
    }
    catch_interrupts();
    while (!interrupted()) {
        Message message;
        if (get_message(message, 200) == kResultOk && message.type != MSG_NOTHING) {
            std::printf("%s\n", json ? message_json(message).c_str()
                                     : to_narrow(describe_message(message)).c_str());
            std::fflush(stdout);
        }
    }
}

void drain_messages() {
    Message message;
    while (get_message(message, 1) == kResultOk && message.type != MSG_NOTHING) {
    }
}

int run_phones(const std::vector<std::string>& args) {
    PhonesOptions options;
    if (!parse(args, options)) {
        return kExitUsage;
    }
    for (const std::filesystem::path& volume : options.volumes) {
        std::error_code error;
        if (!std::filesystem::is_directory(volume, error)) {
            std::fprintf(stderr, "atlasync-tool: phones: '%s' is not a folder\n",
                         volume.string().c_str());
            return kExitUsage;
        }
    }
    // The device table is a nicety of the listing: without it phones are still listed.
    (void)apply_server_choice(options.server);
    const Result started = initialize(options.driveFlags);
    if (started != kResultOk) {
        std::fprintf(stderr, "atlasync-tool: the phone side could not be started (%d)\n", started);
        if (options.json) {
            std::printf("%s\n", failure_json({"initialize", {}, started, {}}).c_str());
        }
        (void)print_failure_cause("phones");
        return exit_status_for(started);
    }
    int exitStatus = 0;
    StepReport failure;
    for (const std::filesystem::path& volume : options.volumes) {
        const std::string root = std::filesystem::absolute(volume).lexically_normal().string();
        const Result taken = add_volume(to_wide(root));
        if (taken != kResultOk) {
            std::fprintf(stderr, "atlasync-tool: phones: '%s' was not taken\n", root.c_str());
            if (exitStatus == 0) {
                failure = {"add_volume", root, taken, {}};
            }
            exitStatus = 1;
        }
    }
    // The listing shows what the start announced.
    drain_messages();
    list_phones(options.json, exitStatus != 0 ? &failure : nullptr);
    if (options.watch) {
        watch(options.json);
    }
    // The messages name phones and drives: read before those are released.
    drain_messages();
    if (finalize() != kResultOk) {
        std::fprintf(stderr, "atlasync-tool: the phone side did not stop cleanly\n");
    }
    return exitStatus;
}

const CommandRegistration kPhones{Command{
    "phones",
    "[--server-root ROOT] [--ca-file FILE] [--volume PATH]... [--drive-flags N] [--watch] [--json] "
    "[--verbose] [--log FILE]",
    "list the connected phones and their drives; take folders as volumes; watch them come and go",
    run_phones}};

}  // namespace

}  // namespace atlasync::tool
