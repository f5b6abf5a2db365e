#include "tools/commands/trace_options.h"

#include <cstdio>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/facade/maps_service.h"

namespace atlasync::tool {

void add_trace_options(Options& parser, TraceOptions& options) {
    parser.flag("--verbose", options.verbose);
    parser.text("--log", options.logFile);
}

bool apply_trace_options(const char* command, const TraceOptions& options) {
    MapsService::TraceTarget target;
    target.standardError = options.verbose;
    target.file = options.logFile;
    if (!target.active()) {
        return true;
    }
    std::string error;
    if (!MapsService::set_trace_target(target, error)) {
        std::fprintf(stderr, "atlasync-tool: %s: cannot write the log %s: %s\n", command,
                     options.logFile.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool print_failure_cause(const char* command) {
    const std::wstring cause = MapsService::last_failure_cause();
    if (cause.empty()) {
        return false;
    }
    std::fprintf(stderr, "atlasync-tool: %s: %s\n", command, MapsService::to_narrow(cause).c_str());
    return true;
}

}  // namespace atlasync::tool
