// atlasync-mapserver: the reference map server and its sample-world generator.

#include <signal.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "mapserver/content.h"
#include "mapserver/drive/drive_writer.h"
#include "mapserver/map_server.h"
#include "mapserver/world/world.h"
#include "mapserver/world/world_writer.h"
#include "tools/version.h"

namespace {

using namespace atlasync::mapserver;

// Each command's usage, shown alone by "COMMAND --help" and together by --help.
struct CommandUsage {
    const char* name;
    const char* text;
};

constexpr CommandUsage kCommandUsages[] = {
    {"serve",
     "  atlasync-mapserver serve --content DIR [--bind ADDRESS] [--port N]\n"
     "                           [--cert FILE --key FILE]\n"
     "                           [--fault PATTERN=ACTION[,ACTION...]]...\n"
     "      Serves a content folder. Port 0 (the default) picks a free port; the\n"
     "      first line printed is \"listening on PORT\". With --cert and --key (PEM\n"
     "      files of the certificate and its private key) it serves https instead\n"
     "      of http. Fault actions: hold (until SIGUSR1), delay:MS,\n"
     "      stall-after:BYTES, close-after:BYTES, content-type:TYPE, status:CODE,\n"
     "      damage-at:BYTE, endless, no-range, rate:BYTES_PER_SECOND (each answer),\n"
     "      link:BYTES_PER_SECOND (shared by every answer of the rule), times:N.\n"},
    {"generate",
     "  atlasync-mapserver generate DIR [--seed S] [--regions N]\n"
     "                           [--tiles-per-region M] [--tile-bytes MIN-MAX]\n"
     "                           [--map-version a.b.c.d] [--version-list V,V,...]\n"
     "                           [--voices N] [--encoding mixed|raw|hex]\n"
     "      Writes a deterministic sample world into DIR, which must be absent or\n"
     "      empty.\n"},
    {"generate-drive",
     "  atlasync-mapserver generate-drive DIR --content CONTENT\n"
     "                           [--map-version a.b.c.d] [--client-id ID]\n"
     "                           [--regions all|ID,...] [--voices all|NAME,...]\n"
     "                           [--layout root|private|legacy]\n"
     "      Writes a maps drive into DIR with the regions and voices of CONTENT.\n"},
};

std::string usage() {
    std::string text = "usage:\n";
    for (const CommandUsage& command : kCommandUsages) {
        text += command.text;
    }
    return text + "  atlasync-mapserver -h | --help | --version\n";
}

class UsageError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

template <typename T>
T number(const std::string& text, const std::string& option) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw UsageError(option + " needs a number, found \"" + text + "\"");
    }
    return value;
}

MapVersion version(const std::string& text, const std::string& option) {
    const auto parsed = MapVersion::parse(text);
    if (!parsed) {
        throw UsageError(option + " needs a version a.b.c.d, found \"" + text + "\"");
    }
    return *parsed;
}

// Walks "--name value" pairs and positional arguments.
class Arguments {
public:
    explicit Arguments(std::vector<std::string> args) : m_args(std::move(args)) {}

    bool done() const { return m_index >= m_args.size(); }
    const std::string& next() { return m_args[m_index++]; }
    // "--content --port" lacks its value rather than serving a folder "--port".
    std::string value(const std::string& option) {
        if (done() || m_args[m_index].rfind("--", 0) == 0) {
            throw UsageError(option + " needs a value");
        }
        return next();
    }

private:
    std::vector<std::string> m_args;
    std::size_t m_index = 0;
};

int serve(Arguments args) {
    ServerOptions options;
    std::vector<Fault> faults;
    while (!args.done()) {
        const std::string option = args.next();
        if (option == "--content") {
            options.content = args.value(option);
        } else if (option == "--bind") {
            options.bind = args.value(option);
        } else if (option == "--port") {
            options.port = number<int>(args.value(option), option);
            if (options.port < 0 || options.port > 65535) {
                throw UsageError("--port must be 0 to 65535");
            }
        } else if (option == "--cert") {
            options.certificate = args.value(option);
        } else if (option == "--key") {
            options.key = args.value(option);
        } else if (option == "--fault") {
            try {
                faults.push_back(parse_fault(args.value(option)));
            } catch (const std::invalid_argument& error) {
                throw UsageError(error.what());
            }
        } else {
            throw UsageError("unknown option " + option);
        }
    }
    if (options.content.empty()) {
        throw UsageError("serve needs --content DIR");
    }
    if (options.certificate.empty() != options.key.empty()) {
        throw UsageError("--cert and --key go together");
    }

    // Every thread inherits the blocked signals, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);  // releases the answers held now
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    MapServer server(options);
    for (auto& fault : faults) {
        server.faults().add(std::move(fault));
    }
    const int port = server.start();
    std::printf("listening on %d\n", port);
    std::fflush(stdout);
    int signal = 0;
    while (sigwait(&stopSignals, &signal) == 0 && signal == SIGUSR1) {
        server.faults().release_held();
    }
    std::fprintf(stderr, "stopping on signal %d\n", signal);
    server.stop();
    return 0;
}

int generate(Arguments args) {
    WorldOptions options;
    std::string folder;
    while (!args.done()) {
        const std::string option = args.next();
        if (option == "--seed") {
            options.seed = number<std::uint64_t>(args.value(option), option);
        } else if (option == "--regions") {
            options.regions = number<unsigned>(args.value(option), option);
        } else if (option == "--tiles-per-region") {
            options.tilesPerRegion = number<unsigned>(args.value(option), option);
        } else if (option == "--tile-bytes") {
            const std::string range = args.value(option);
            const auto dash = range.find('-');
            if (dash == std::string::npos) {
                throw UsageError("--tile-bytes needs MIN-MAX");
            }
            options.tileMin = number<std::size_t>(range.substr(0, dash), option);
            options.tileMax = number<std::size_t>(range.substr(dash + 1), option);
        } else if (option == "--map-version") {
            options.mapVersion = version(args.value(option), option);
        } else if (option == "--version-list") {
            std::string list = args.value(option);
            options.versionList.clear();
            for (std::size_t start = 0; start <= list.size();) {
                const auto comma = std::min(list.find(',', start), list.size());
                options.versionList.push_back(version(list.substr(start, comma - start), option));
                start = comma + 1;
            }
        } else if (option == "--voices") {
            options.voices = number<unsigned>(args.value(option), option);
        } else if (option == "--encoding") {
            const std::string value = args.value(option);
            if (value == "mixed") {
                options.encoding = WorldEncoding::Mixed;
            } else if (value == "raw") {
                options.encoding = WorldEncoding::Raw;
            } else if (value == "hex") {
                options.encoding = WorldEncoding::Hex;
            } else {
                throw UsageError("--encoding must be mixed, raw or hex");
            }
        } else if (option.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + option);
        } else if (folder.empty()) {
            folder = option;
        } else {
            throw UsageError("generate writes one folder; found a second: " + option);
        }
    }
    if (folder.empty()) {
        throw UsageError("generate needs a folder");
    }
    try {
        const World world = World::build(options);
        write_world(world, folder);
        std::printf("wrote %zu regions, %zu tiles, %zu voices to %s\n", world.regions.size(),
                    world.tiles.size(), world.voices.size(), folder.c_str());
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    return 0;
}

std::vector<std::string> comma_list(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start < text.size();) {
        const auto comma = std::min(text.find(',', start), text.size());
        if (comma > start) {
            items.push_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return items;
}

int generate_drive(Arguments args) {
    DriveOptions options;
    std::string folder;
    while (!args.done()) {
        const std::string option = args.next();
        if (option == "--content") {
            options.content = args.value(option);
        } else if (option == "--map-version") {
            options.mapVersion = version(args.value(option), option).text();
        } else if (option == "--client-id") {
            options.clientId = args.value(option);
        } else if (option == "--regions") {
            options.regions = comma_list(args.value(option));
        } else if (option == "--voices") {
            options.voices = comma_list(args.value(option));
        } else if (option == "--layout") {
            const std::string value = args.value(option);
            if (value == "root") {
                options.layout = DriveLayout::Root;
            } else if (value == "private") {
                options.layout = DriveLayout::Private;
            } else if (value == "legacy") {
                options.layout = DriveLayout::Legacy;
            } else {
                throw UsageError("--layout must be root, private or legacy");
            }
        } else if (option.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + option);
        } else if (folder.empty()) {
            folder = option;
        } else {
            throw UsageError("generate-drive writes one folder; found a second: " + option);
        }
    }
    if (folder.empty() || options.content.empty()) {
        throw UsageError("generate-drive needs a folder and --content CONTENT");
    }
    try {
        const DriveSummary summary = write_drive(options, folder);
        std::printf("wrote a maps drive with %zu regions and %zu voices to %s\n", summary.regions,
                    summary.voices, folder.c_str());
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(usage().c_str(), args.empty() ? stderr : stdout);
        return args.empty() ? atlasync::kExitUsage : atlasync::kExitOk;
    }
    for (const CommandUsage& command : kCommandUsages) {
        if (args[0] == command.name &&
            std::any_of(args.begin() + 1, args.end(),
                        [](const std::string& arg) { return arg == "--help" || arg == "-h"; })) {
            std::printf("usage:\n%s", command.text);
            return atlasync::kExitOk;
        }
    }
    if (args[0] == "--version") {
        std::printf("%s %s\n", atlasync::kProductName, atlasync::kProductVersion);
        return 0;
    }
    try {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "serve") {
            return serve(Arguments(rest));
        }
        if (args[0] == "generate") {
            return generate(Arguments(rest));
        }
        if (args[0] == "generate-drive") {
            return generate_drive(Arguments(rest));
        }
        throw UsageError("unknown command " + args[0]);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "atlasync-mapserver: %s\n%s", error.what(), usage().c_str());
        return atlasync::kExitUsage;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "atlasync-mapserver: %s\n", error.what());
        return atlasync::kExitFailed;
    }
}
