// atlasync-tool package: fetches a server package and lists its records.

#include <cstdio>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tools/command.h"
#include "tools/commands/trace_options.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

int run(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::string language;
    std::string version;
    std::string operatingSystem;
    TraceOptions trace;
    Options parser("package",
                   "URL NAME [--lang L] [--version V] [--os O] [--verbose] [--log FILE]");
    parser.text("--lang", language);
    parser.text("--version", version);
    parser.text("--os", operatingSystem);
    add_trace_options(parser, trace);
    parser.words(positional, 2, 2);
    if (!parser.parse(args) || !apply_trace_options("package", trace)) {
        return kExitUsage;
    }
    std::vector<MapsService::ServerRecord> records;
    using MapsService::to_wide;
    const MapsService::Result result =
        MapsService::GetPackage(to_wide(positional[0]), to_wide(positional[1]), to_wide(language),
                                to_wide(version), to_wide(operatingSystem), records);
    for (const MapsService::ServerRecord& record : records) {
        std::string line = std::to_string(record.id) + "\t" + std::to_string(record.parentId) +
                           "\t" + MapsService::to_narrow(record.name);
        for (const auto& [name, value] : record.attributes) {
            line += "\t" + MapsService::to_narrow(name) + "=" + MapsService::to_narrow(value);
        }
        std::printf("%s\n", line.c_str());
    }
    if (result != MapsService::kResultOk) {
        std::fprintf(stderr, "atlasync-tool package: result %d\n", result);
        (void)print_failure_cause("package");
    }
    return exit_status_for(result);
}

const CommandRegistration kRegistration({
    "package",
    "URL NAME [--lang L] [--version V] [--os O] [--verbose] [--log FILE]",
    "fetch a server package and print its records (id, parent, name, attributes)",
    run,
});

}  // namespace

}  // namespace atlasync::tool
