// atlasync-tool: diagnostics of the Atlasync service from the shell.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/text.h"
#include "tools/command.h"
#include "tools/options.h"
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
        const std::string lead = "  " + command.name + " ";
        std::fputs(wrap_help(lead, command.synopsis, lead.size()).c_str(), out);
        std::fputs(wrap_help("      ", command.description, 6).c_str(), out);
    }
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  -h, --help   show this help and exit\n"
                 "  --version    show the version and exit\n"
                 "\n"
                 "COMMAND --help shows the command's own help.\n");
}

void print_command_help(const Command& command) {
    const std::string lead = "Usage: atlasync-tool " + command.name + " ";
    std::fputs(wrap_help(lead, command.synopsis, lead.size()).c_str(), stdout);
    std::fputs(("\n" + wrap_help("", command.description, 0)).c_str(), stdout);
    std::fputs(
        "\n"
        "Options:\n"
        "  -h, --help   show this help and exit\n",
        stdout);
}

// Help is asked for anywhere among the options, before "--".
bool asks_for_help(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") {
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
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
        return atlasync::kExitUsage;
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
        if (command.name != name) {
            continue;
        }
        const std::vector<std::string> args(argv + 2, argv + argc);
        if (asks_for_help(args)) {
            print_command_help(command);
            return 0;
        }
        return command.run(args);
    }
    std::fprintf(stderr, "atlasync-tool: unknown command '%s' (see --help)\n", name.c_str());
    return atlasync::kExitUsage;
}
