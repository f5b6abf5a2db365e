#include "tools/commands/server_options.h"

#include <filesystem>
#include <fstream>

#include "service/core/text.h"
#include "service/facade/maps_service.h"

namespace atlasync::tool {

using namespace MapsService;

void add_server_options(Options& parser, ServerChoice& choice) {
    parser.each("--server-root", [&choice](const std::string& value) {
        std::string why;
        if (!server_url_of_root(value, why)) {
            return "--server-root: " + why;
        }
        choice.root = to_wide(value);
        return std::string();
    });
    parser.each("--ca-file", [&choice](const std::string& value) {
        std::error_code error;
        // A file that cannot be read would fail every transfer later with a vaguer reason.
        if (value.empty() || !std::filesystem::is_regular_file(value, error) ||
            !std::ifstream(value).is_open()) {
            return "--ca-file: '" + value + "' is not a readable file";
        }
        choice.caFile = to_wide(std::filesystem::absolute(value, error).string());
        return std::string();
    });
}

Result apply_server_choice(const ServerChoice& choice) {
    if (!choice.root.empty()) {
        if (const Result result = set_server_root(choice.root); result != kResultOk) {
            return result;
        }
    }
    return choice.caFile.empty() ? kResultOk : set_ca_file(choice.caFile);
}

}  // namespace atlasync::tool
