// devlinx-phone: makes, lists and removes simulated phones in a phone farm.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "devlinx/sim/farm.h"
#include "devlinx/sim/ini.h"
#include "exit_codes/exit_codes.h"
#include "tools/version.h"
#include "utf8/utf8.h"

namespace {

namespace fs = std::filesystem;
using devlinx::sim::parse_number;
using devlinx::sim::parse_size;

// Each command's usage, shown alone by "COMMAND --help" and together by --help.
struct CommandUsage {
    const char* name;
    const char* text;
};

constexpr CommandUsage kCommandUsages[] = {
    {"create",
     "  devlinx-phone create FARM NAME [options]\n"
     "      --serial S          serial number (default: NAME)\n"
     "      --name N            the phone's name (default: NAME)\n"
     "      --model M           model name\n"
     "      --extra X           free text of the device record\n"
     "      --imsi I            subscriber identity (default: none)\n"
     "      --type CODE         type code, e.g. 0x2000020\n"
     "      --features BITS     feature bits (0x20 installs, 0x200 lists applications)\n"
     "      --generation G      product generation number\n"
     "      --media KIND        usb, bluetooth, serial or irda\n"
     "      --memories LIST     memories and types, default C:DEV,E:MMC\n"
     "      --capacity L:SIZE   capacity of memory L, e.g. E:2G (repeatable)\n"
     "      --label L:TEXT      label of memory L (repeatable)\n"
     "      --applications A,B  applications already installed\n"
     "      --install-status S  status every installation ends with\n"
     "      --user-action       installations ask the user to act on the phone\n"
     "      --user-actions N    installations ask the user N times\n"
     "      --no-marker         installations leave no marker file\n"
     "      --step-ms N         pause per installation progress step\n"
     "      --fail CALL=STATUS  the call answers STATUS (repeatable)\n"},
    {"remove", "  devlinx-phone remove FARM NAME\n"},
    {"list", "  devlinx-phone list FARM\n"},
};

std::string usage() {
    std::string text = "Usage:\n";
    for (const CommandUsage& command : kCommandUsages) {
        text += command.text;
    }
    return text + "  devlinx-phone -h | --help | --version\n";
}

struct Memory {
    std::string type;
    std::string capacity;
    std::string label;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "devlinx-phone: %s\n", message.c_str());
    return atlasync::kExitFailed;
}

// What is wrong with the command line, as against the farm.
int usage_error(const std::string& message) {
    std::fprintf(stderr, "devlinx-phone: %s\n", message.c_str());
    return atlasync::kExitUsage;
}

bool plain_name(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

// "L:VALUE" with an upper-case memory letter.
bool split_memory_value(const std::string& text, char& letter, std::string& value) {
    if (text.size() < 3 || text[1] != ':' || !std::isupper(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    letter = text[0];
    value = text.substr(2);
    return true;
}

bool write_text(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

int create(const std::vector<std::string>& args) {
    std::vector<std::string> words;
    std::string ini = "; simulated phone, made by devlinx-phone\n";
    std::map<char, Memory> memories = {{'C', {"DEV", "", ""}}, {'E', {"MMC", "", ""}}};
    static const std::map<std::string, std::string> kKeys = {
        {"--serial", "serial"},
        {"--name", "name"},
        {"--model", "model"},
        {"--extra", "extra"},
        {"--imsi", "imsi"},
        {"--type", "type"},
        {"--features", "features"},
        {"--generation", "generation"},
        {"--media", "media"},
        {"--applications", "applications"},
        {"--install-status", "install_status"},
        {"--step-ms", "install_step_ms"},
        {"--user-actions", "install_user_action"},
    };
    std::vector<std::pair<char, std::string>> capacities;
    std::vector<std::pair<char, std::string>> labels;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option.rfind("--", 0) != 0) {
            words.push_back(option);
            continue;
        }
        if (option == "--user-action") {
            ini += "install_user_action=1\n";
            continue;
        }
        if (option == "--no-marker") {
            ini += "install_marker=0\n";
            continue;
        }
        if (kKeys.count(option) == 0 && option != "--memories" && option != "--capacity" &&
            option != "--label" && option != "--fail") {
            return usage_error("unknown option " + option);
        }
        if (i + 1 == args.size() || args[i + 1].rfind("--", 0) == 0) {
            return usage_error(option + " needs a value");
        }
        const std::string& value = args[++i];
        char letter = 0;
        std::string rest;
        if (kKeys.count(option) != 0) {
            const bool numeric = option == "--type" || option == "--features" ||
                                 option == "--generation" || option == "--install-status" ||
                                 option == "--step-ms" || option == "--user-actions";
            if (numeric && !parse_number(value)) {
                return usage_error("option " + option + " needs a number, not '" + value + "'");
            }
            ini += kKeys.at(option) + "=" + value + "\n";
        } else if (option == "--memories") {
            memories.clear();
            std::string item;
            for (std::size_t p = 0; p <= value.size(); ++p) {
                if (p == value.size() || value[p] == ',') {
                    if (!split_memory_value(item, letter, rest) ||
                        (rest != "DEV" && rest != "MMC")) {
                        return usage_error("invalid memory '" + item + "' (expected e.g. E:MMC)");
                    }
                    memories[letter].type = rest;
                    item.clear();
                } else {
                    item.push_back(value[p]);
                }
            }
        } else if (option == "--capacity") {
            if (!split_memory_value(value, letter, rest) || !parse_size(rest)) {
                return usage_error("invalid capacity '" + value + "' (expected e.g. E:2G)");
            }
            capacities.emplace_back(letter, rest);
        } else if (option == "--label") {
            if (!split_memory_value(value, letter, rest)) {
                return usage_error("invalid label '" + value + "' (expected e.g. E:Card)");
            }
            labels.emplace_back(letter, rest);
        } else if (option == "--fail") {
            const auto equals = value.find('=');
            if (equals == std::string::npos || !parse_number(value.substr(equals + 1))) {
                return usage_error("invalid fault '" + value + "' (expected CALL=STATUS)");
            }
            ini += "fail." + value.substr(0, equals) + "=" + value.substr(equals + 1) + "\n";
        }
    }
    if (words.size() != 2) {
        return usage_error("create needs FARM and NAME");
    }
    const fs::path farm = words[0];
    const std::string name = words[1];
    if (!plain_name(name)) {
        return usage_error("invalid phone name '" + name + "'");
    }
    for (const auto& [letter, capacity] : capacities) {
        if (memories.count(letter) == 0) {
            return usage_error(std::string("no memory ") + letter + ": for --capacity");
        }
        memories[letter].capacity = capacity;
    }
    for (const auto& [letter, label] : labels) {
        if (memories.count(letter) == 0) {
            return usage_error(std::string("no memory ") + letter + ": for --label");
        }
        memories[letter].label = label;
    }

    std::error_code error;
    fs::create_directories(farm, error);
    const fs::path target = farm / name;
    if (fs::exists(fs::symlink_status(target, error))) {
        return fail("phone " + name + " already exists in " + farm.string());
    }
    // Built aside and renamed in, so the phone appears complete in one step.
    const fs::path staging = farm / ("." + name + ".new-" + std::to_string(::getpid()));
    fs::remove_all(staging, error);
    bool written = fs::create_directory(staging, error) && write_text(staging / "phone.ini", ini);
    for (const auto& [letter, memory] : memories) {
        const fs::path folder = staging / std::string(1, letter);
        std::string memoryIni = "type=" + memory.type + "\n";
        if (!memory.capacity.empty()) {
            memoryIni += "capacity=" + memory.capacity + "\n";
        }
        if (!memory.label.empty()) {
            memoryIni += "label=" + memory.label + "\n";
        }
        written = written && fs::create_directory(folder, error) &&
                  write_text(folder / "memory.ini", memoryIni);
    }
    if (written) {
        fs::rename(staging, target, error);
    }
    if (!written || error) {
        fs::remove_all(staging, error);
        return fail("cannot create phone " + name + " in " + farm.string());
    }
    std::printf("%s\n", target.string().c_str());
    return 0;
}

int remove(const std::vector<std::string>& args) {
    if (args.size() != 2 || !plain_name(args[1])) {
        return usage_error("remove needs FARM and a phone NAME");
    }
    const fs::path folder = fs::path(args[0]) / args[1];
    std::error_code error;
    if (!fs::exists(folder / "phone.ini", error)) {
        return fail("no phone " + args[1] + " in " + args[0]);
    }
    // Renamed away first, so the phone goes in one step.
    const fs::path doomed =
        fs::path(args[0]) / ("." + args[1] + ".gone-" + std::to_string(::getpid()));
    fs::rename(folder, doomed, error);
    if (error) {
        return fail("cannot remove phone " + args[1] + ": " + error.message());
    }
    fs::remove_all(doomed, error);
    return 0;
}

int list(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return usage_error("list needs FARM");
    }
    using atlasync::utf8::to_narrow;
    for (const auto& phone : devlinx::sim::connected_phones(args[0])) {
        std::printf("%s\tserial=%s\tmodel=%s\n", phone.folder.filename().string().c_str(),
                    to_narrow(phone.serial).c_str(), to_narrow(phone.model).c_str());
        for (const auto& memory : devlinx::sim::phone_memories(phone)) {
            std::printf("  %s\t%s\t%s\tcapacity=%lld\tused=%lld\n", to_narrow(memory.name).c_str(),
                        to_narrow(memory.type).c_str(), to_narrow(memory.label).c_str(),
                        static_cast<long long>(memory.capacity),
                        static_cast<long long>(devlinx::sim::tree_bytes(memory.folder)));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    atlasync::utf8::set_locale_from_environment();
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::fputs(usage().c_str(), argc < 2 ? stderr : stdout);
        return argc < 2 ? atlasync::kExitUsage : atlasync::kExitOk;
    }
    if (std::string(argv[1]) == "--version") {
        std::printf("%s %s\n", atlasync::kProductName, atlasync::kProductVersion);
        return 0;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const CommandUsage& usage : kCommandUsages) {
        if (command == usage.name && std::any_of(args.begin(), args.end(), [](const auto& arg) {
                return arg == "--help" || arg == "-h";
            })) {
            std::printf("Usage:\n%s", usage.text);
            return atlasync::kExitOk;
        }
    }
    if (command == "create") {
        return create(args);
    }
    if (command == "remove") {
        return remove(args);
    }
    if (command == "list") {
        return list(args);
    }
    std::fprintf(stderr, "devlinx-phone: unknown command '%s'\n%s", command.c_str(),
                 usage().c_str());
    return atlasync::kExitUsage;
}
