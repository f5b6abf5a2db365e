#pragma once

#include <string>

#include "tools/options.h"

namespace atlasync::tool {

// Where the service's trace goes, for every command that talks to the service.
struct TraceOptions {
    bool verbose = false;  // the trace on standard error
    std::string logFile;   // the trace into this file; empty: none
};

// Declares --verbose and --log FILE.
void add_trace_options(Options& parser, TraceOptions& options);

// Sends the trace where the options say, before the first service call; false
// (said on standard error, naming the command) when the log cannot be written.
[[nodiscard]] bool apply_trace_options(const char* command, const TraceOptions& options);

// One line on standard error with the cause the service gave for the failure
// of its last operation ("atlasync-tool: check: cannot reach the map server
// ..."); nothing when it gave none. True when it printed one.
bool print_failure_cause(const char* command);

}  // namespace atlasync::tool
