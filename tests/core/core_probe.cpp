// Runs service-core features in a process of its own for the tests.
//   core_probe trace            writes a fixed set of trace lines (msapi.ini in the cwd)
//   core_probe trace verbose    the same on standard error, as --verbose asks
//   core_probe trace log FILE   the same into FILE, as --log asks; 3 when it cannot be written
//   core_probe instance BASE    registers an instance, prints its number, waits for
//                               its standard input to close, then unregisters

#include <cstdio>
#include <iostream>
#include <string>

#include "service/core/exceptions.h"
#include "service/core/ini_file.h"
#include "service/core/shared_mem.h"
#include "service/core/text.h"
#include "service/core/trace.h"

using namespace MapsService;

namespace {

int trace_probe(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[2] : "";
    if (mode == "verbose" || (mode == "log" && argc > 3)) {
        TraceTarget target;
        target.standardError = mode == "verbose";
        target.file = mode == "log" ? argv[3] : "";
        if (std::string error; !set_trace_target(target, error)) {
            std::printf("cannot write the log: %s\n", error.c_str());
            return 3;
        }
    }
    TraceError("error line %d", 1);
    TraceWarning(L"warning line %d", 2);
    TraceInfo("select phone drive with id %d", 3);
    TraceInfo(L"drive %s ready", L"K\u00e4rnten \u00c5land \u65e5\u672c");
    TraceDebug("debug line %s", "narrow");
    {
        ScopeTrace scope("MapsService::probe");
        TraceDebug(L"inside %s", L"scope");
    }
    const std::string longText(1500, 'x');
    TraceError("long:%s", longText.c_str());
    try {
        throw DiskErrorException();
    } catch (const Exception& e) {
        TraceInfo("caught code %d", e.code());
    }
    if (argc > 2 && std::string(argv[2]) == "dump") {
        service_settings().dump();
    }
    if (argc > 2 && std::string(argv[2]) == "reopen") {
        close_tracer();
        TraceError("after reopen");
    }
    return 0;
}

int instance_probe(const std::string& base) {
    CSharedMem shared(base);
    std::printf("%d\n", shared.increment());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "count") {
            std::printf("%d\n", shared.count());
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    set_locale_from_environment();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "trace") {
        return trace_probe(argc, argv);
    }
    if (command == "instance" && argc > 2) {
        return instance_probe(argv[2]);
    }
    std::fprintf(stderr, "usage: core_probe trace [reopen|dump] | instance BASE\n");
    return 2;
}
