// atlasync-tool: diagnostics of the Atlasync service from the shell.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "service/core/text.h"
#include "tools/command.h"
#include "tools/version.h"

namespace atlasync::tool {

namespace {

std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

void print_usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: atlasync-tool COMMAND [ARGS...]\n"
                 "\n"
                 "Diagnostics of the Atlasync service.\n"
                 "\n"
                 "Commands:\n");
    for (const Command& command : commands()) {
        std::fprintf(out, "  %s %s\n      %s\n", command.name.c_str(), command.synopsis.c_str(),
                     command.description.c_str());
    }
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  --help       show this help and exit\n"
                 "  --version    show the version and exit\n");
}

}  // namespace

const std::vector<Command>& commands() {
    std::vector<Command>& all = registry();
    std::sort(all.begin(), all.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    return all;
}

CommandRegistration::CommandRegistration(Command command) {
    registry().push_back(std::move(command));
}

}  // namespace atlasync::tool

int main(int argc, char** argv) {
    using namespace atlasync::tool;
    MapsService::set_locale_from_environment();
    if (argc < 2) {
        print_usage(stderr);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("%s %s\n", atlasync::kProductName, atlasync::kProductVersion);
        return 0;
    }
    for (const Command& command : commands()) {
        if (command.name == name) {
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "atlasync-tool: unknown command '%s' (see --help)\n", name.c_str());
    return 1;
}
