#include "ui/app/wizard_options.h"

#include <fstream>
#include <functional>
#include <map>
#include <system_error>

#include "service/core/text.h"
#include "service/facade/maps_service.h"

namespace atlasync::ui {

namespace fs = std::filesystem;

namespace {

// One option: whether it takes a value, and what it does with it. An error
// message comes back when the value is unusable.
struct OptionRule {
    bool takesValue;
    std::function<std::string(WizardOptions&, const std::string&)> apply;
};

const std::map<std::string, OptionRule>& option_rules() {
    static const std::map<std::string, OptionRule> rules = {
        {"--volume",
         {true,
          [](WizardOptions& options, const std::string& value) -> std::string {
              std::error_code error;
              if (value.empty() || !fs::is_directory(value, error)) {
                  return "--volume: '" + value + "' is not a folder";
              }
              options.volumes.push_back(fs::absolute(value, error).lexically_normal());
              return {};
          }}},
        {"--server-root",
         {true,
          [](WizardOptions& options, const std::string& value) -> std::string {
              if (value.empty()) {
                  return "--server-root needs a name";
              }
              if (std::string why; !MapsService::server_url_of_root(value, why)) {
                  return "--server-root: " + why;
              }
              options.serverRoot = MapsService::to_wide(value);
              return {};
          }}},
        {"--ca-file",
         {true,
          [](WizardOptions& options, const std::string& value) -> std::string {
              std::error_code error;
              // Refused here rather than as a vaguer failure of every transfer later.
              if (value.empty() || !fs::is_regular_file(value, error) ||
                  !std::ifstream(value).is_open()) {
                  return "--ca-file: '" + value + "' is not a readable file";
              }
              options.caFile = fs::absolute(value, error).lexically_normal();
              return {};
          }}},
        {"--language",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.language = true;
              return {};
          }}},
        {"--text",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.text = true;
              return {};
          }}},
        {"--demo",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.demo = true;
              return {};
          }}},
        {"--yes",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.yes = true;
              return {};
          }}},
        {"--demo-dir",
         {true,
          [](WizardOptions& options, const std::string& value) -> std::string {
              if (value.empty()) {
                  return "--demo-dir needs a folder";
              }
              std::error_code error;
              options.demoDir = fs::absolute(value, error).lexically_normal();
              options.demo = true;
              return {};
          }}},
        {"--verbose",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.verbose = true;
              return {};
          }}},
        {"--log",
         {true,
          [](WizardOptions& options, const std::string& value) -> std::string {
              if (value.empty()) {
                  return "--log needs a file";
              }
              options.logFile = value;
              return {};
          }}},
        {"--help",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.help = true;
              return {};
          }}},
        {"-h",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.help = true;
              return {};
          }}},
        {"--version",
         {false,
          [](WizardOptions& options, const std::string&) -> std::string {
              options.version = true;
              return {};
          }}},
    };
    return rules;
}

}  // namespace

ParsedOptions parse_wizard_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        // --name=value is the same as --name value.
        if (const auto equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        const auto rule = option_rules().find(name);
        if (rule == option_rules().end()) {
            parsed.error = "unknown option '" + args[i] + "'";
            return parsed;
        }
        if (rule->second.takesValue && !hasValue) {
            // "--server-root --text" lacks its value; "--name=--x" gives one.
            if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
                parsed.error = name + " needs a value";
                return parsed;
            }
            value = args[++i];
        } else if (!rule->second.takesValue && hasValue) {
            parsed.error = name + " takes no value";
            return parsed;
        }
        if (std::string error = rule->second.apply(parsed.options, value); !error.empty()) {
            parsed.error = std::move(error);
            return parsed;
        }
    }
    return parsed;
}

std::string wizard_usage(const std::string& program) {
    return "Usage: " + program +
           " [options]\n"
           "Brings the maps on a connected phone up to date.\n"
           "\n"
           "Options:\n"
           "  --volume PATH        take a mounted folder (a card reader, a phone's USB\n"
           "                       storage) as a USB volume that just arrived; may be\n"
           "                       repeated\n"
           "  --server-root ROOT   use another map server than the built-in one: a name\n"
           "                       (the server is http://mapdata.ROOT), an address or\n"
           "                       localhost with a port (127.0.0.1:8080, [::1]:8080), or\n"
           "                       a URL (https://maps.example.org:8443/atlas)\n"
           "  --ca-file FILE       trust the PEM certificates in FILE for an https server\n"
           "                       instead of the system's certificate store\n"
           "  --language           show the language page first, to pick the language of\n"
           "                       the wizard (also: press L while the splash is shown)\n"
           "  --text               run on the terminal instead of in a window (the default\n"
           "                       when there is no display)\n"
           "  --yes                accept every offered download and go on without asking\n"
           "                       (text front end, for automation)\n"
           "  --demo               run against a sample map world served on loopback and a\n"
           "                       simulated phone whose memory card holds old maps\n"
           "  --demo-dir DIR       keep the demo's world and phone in DIR and reuse them\n"
           "                       when run again (implies --demo)\n"
           "  --verbose            write the service's trace on standard error\n"
           "  --log FILE           write the service's trace into FILE\n"
           "  -h, --help           show this text and exit\n"
           "  --version            show the program's version and exit\n";
}

}  // namespace atlasync::ui
