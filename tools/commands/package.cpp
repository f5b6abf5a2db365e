// atlasync-tool package: fetches a server package and lists its records.

#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "service/core/text.h"
#include "service/protocol/package_fetch.h"
#include "tools/command.h"

namespace atlasync::tool {

namespace {

int run(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::string language;
    std::string version;
    std::string operatingSystem;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string* option = nullptr;
        if (args[i] == "--lang") {
            option = &language;
        } else if (args[i] == "--version") {
            option = &version;
        } else if (args[i] == "--os") {
            option = &operatingSystem;
        }
        if (option == nullptr) {
            positional.push_back(args[i]);
        } else if (i + 1 < args.size()) {
            *option = args[++i];
        } else {
            positional.clear();
            break;
        }
    }
    if (positional.size() != 2) {
        std::fprintf(stderr,
                     "usage: atlasync-tool package URL NAME [--lang L] [--version V] [--os O]\n");
        return MapsService::kResultFailed;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::vector<MapsService::ServerRecord> records;
    MapsService::PackageRequest request(MapsService::to_wide(positional[0]), records);
    const MapsService::Result result =
        request.fetch(positional[1], language, version, operatingSystem);
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
    }
    curl_global_cleanup();
    return result;
}

const CommandRegistration kRegistration({
    "package",
    "URL NAME [--lang L] [--version V] [--os O]",
    "fetch a server package and print its records (id, parent, name, attributes)",
    run,
});

}  // namespace

}  // namespace atlasync::tool
