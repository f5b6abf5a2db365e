#include "devlinx/sim/farm.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

#include "devlinx/sim/file_stamp.h"
#include "devlinx/sim/ini.h"
#include "utf8/utf8.h"

namespace devlinx::sim {

using atlasync::utf8::to_wide;

namespace {

fs::path environment_path(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? fs::path(value) : fs::path();
}

fs::path home_folder() {
    fs::path home = environment_path("HOME");
    return home.empty() ? fs::temp_directory_path() : home;
}

// The same settings file the program's loader reads.
std::optional<Ini> api_settings() {
    fs::path file = environment_path("DEVLINX_API_CONFIG");
    if (file.empty()) {
        fs::path config = environment_path("XDG_CONFIG_HOME");
        if (config.empty()) {
            config = home_folder() / ".config";
        }
        file = config / "Devlinx" / "API.ini";
        std::error_code error;
        if (!fs::exists(file, error)) {
            file = "/etc/xdg/Devlinx/API.ini";
        }
    }
    return Ini::read(file);
}

std::uint32_t parse_media(const std::string& text) {
    static const std::map<std::string, std::uint32_t> kNames = {
        {"usb", DLNK_MEDIA_USB},
        {"bluetooth", DLNK_MEDIA_BLUETOOTH},
        {"serial", DLNK_MEDIA_SERIAL},
        {"irda", DLNK_MEDIA_IRDA},
    };
    const auto found = kNames.find(text);
    if (found != kNames.end()) {
        return found->second;
    }
    return parse_number(text).value_or(DLNK_MEDIA_USB);
}

// A stable id per serial number, never 0 (0 asks for any device).
std::uint32_t device_id_of(const std::wstring& serial) {
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : serial) {
        hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
    }
    return (hash & 0xFFFFu) | 0x10000u;
}

std::vector<std::wstring> split_list(const std::string& text) {
    std::vector<std::wstring> items;
    std::string item;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ',') {
            const auto first = item.find_first_not_of(' ');
            if (first != std::string::npos) {
                items.push_back(
                    to_wide(item.substr(first, item.find_last_not_of(' ') - first + 1)));
            }
            item.clear();
        } else {
            item.push_back(text[i]);
        }
    }
    return items;
}

std::optional<PhoneConfig> read_phone(const fs::path& folder) {
    const std::optional<Ini> ini = Ini::read(folder / kPhoneIni);
    if (!ini) {
        return std::nullopt;
    }
    PhoneConfig phone;
    phone.folder = folder;
    const std::string folderName = folder.filename().string();
    phone.serial = to_wide(ini->text("serial", folderName));
    phone.name = to_wide(ini->text("name", folderName));
    phone.model = to_wide(ini->text("model", "Simulated phone"));
    phone.extra = to_wide(ini->text("extra"));
    phone.imsi = to_wide(ini->text("imsi"));
    phone.type_code = ini->number("type", phone.type_code);
    phone.features = ini->number("features", phone.features);
    phone.generation = static_cast<std::int32_t>(ini->number("generation", 0));
    phone.media = parse_media(ini->text("media", "usb"));
    phone.device_id = ini->number("device_id", device_id_of(phone.serial));
    phone.applications = split_list(ini->text("applications"));
    phone.install_status = static_cast<DLNKRESULT>(ini->number("install_status", 0));
    phone.install_user_action = static_cast<std::int32_t>(ini->number("install_user_action", 0));
    phone.install_writes_marker = ini->number("install_marker", 1) != 0;
    phone.install_step_ms = ini->number("install_step_ms", 0);
    for (const auto& [key, value] : ini->values()) {
        if (key.rfind("fail.", 0) == 0) {
            if (const auto status = parse_number(value)) {
                phone.faults[key.substr(5)] = static_cast<DLNKRESULT>(*status);
            }
        }
    }
    return phone;
}

// The names of the real folders (no links) inside a folder, read again only
// once the folder has changed: the farm and each phone are listed on every
// call of the library, thousands for one map update.
std::vector<std::string> subfolders(const fs::path& folder) {
    static StampedReadings<std::vector<std::string>> known;
    const std::optional<FileStamp> stamp = stamp_of(folder);
    if (!stamp) {
        return {};
    }
    if (auto names = known.find(folder.string(), *stamp)) {
        return *names;
    }
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!entry.is_symlink(error) && entry.is_directory(error)) {
            names.push_back(entry.path().filename().string());
        }
    }
    known.keep(folder.string(), *stamp, names);
    return names;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::optional<DLNKRESULT> PhoneConfig::fault(const char* call) const {
    const auto found = faults.find(lower(call));
    if (found == faults.end()) {
        return std::nullopt;
    }
    return found->second;
}

fs::path farm_folder() {
    fs::path farm = environment_path("DEVLINX_SIM_FARM");
    if (farm.empty()) {
        if (const auto settings = api_settings()) {
            farm = settings->text("simfarm");
        }
    }
    if (farm.empty()) {
        farm = home_folder() / ".local" / "share" / "devlinx" / "farm";
    }
    return farm;
}

std::optional<std::int64_t> parse_size(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t unit = 1;
    std::string digits = text;
    switch (std::toupper(static_cast<unsigned char>(text.back()))) {
        case 'K':
            unit = std::int64_t{1} << 10;
            break;
        case 'M':
            unit = std::int64_t{1} << 20;
            break;
        case 'G':
            unit = std::int64_t{1} << 30;
            break;
        default:
            break;
    }
    if (unit != 1) {
        digits.pop_back();
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    const std::int64_t value = std::strtoll(digits.c_str(), nullptr, 10);
    if (value > INT64_MAX / unit) {
        return std::nullopt;
    }
    return value * unit;
}

std::vector<PhoneConfig> connected_phones(const fs::path& farm) {
    std::vector<PhoneConfig> phones;
    for (const std::string& name : subfolders(farm)) {
        if (name.empty() || name[0] == '.') {
            continue;
        }
        if (auto phone = read_phone(farm / name)) {
            phones.push_back(std::move(*phone));
        }
    }
    std::sort(phones.begin(), phones.end(),
              [](const PhoneConfig& a, const PhoneConfig& b) { return a.folder < b.folder; });
    return phones;
}

std::optional<PhoneConfig> find_phone(const std::wstring& serial) {
    for (PhoneConfig& phone : connected_phones(farm_folder())) {
        if (phone.serial == serial) {
            return std::move(phone);
        }
    }
    return std::nullopt;
}

std::vector<MemoryConfig> phone_memories(const PhoneConfig& phone) {
    std::vector<MemoryConfig> memories;
    for (const std::string& name : subfolders(phone.folder)) {
        if (name.size() != 1 || !std::isupper(static_cast<unsigned char>(name[0]))) {
            continue;
        }
        const fs::path folder = phone.folder / name;
        const std::optional<Ini> ini = Ini::read(folder / kMemoryIni);
        const bool phoneMemory = name == "C";
        MemoryConfig memory;
        memory.name = to_wide(name + ":");
        memory.folder = folder;
        memory.type = to_wide(ini ? ini->text("type", phoneMemory ? "DEV" : "MMC")
                                  : (phoneMemory ? "DEV" : "MMC"));
        const std::string defaultLabel = phoneMemory ? "Phone memory" : "Memory card";
        memory.label = to_wide(ini ? ini->text("label", defaultLabel) : defaultLabel);
        memory.capacity = std::int64_t{1} << 30;
        if (ini) {
            memory.capacity = parse_size(ini->text("capacity")).value_or(memory.capacity);
        }
        memories.push_back(std::move(memory));
    }
    std::sort(memories.begin(), memories.end(),
              [](const MemoryConfig& a, const MemoryConfig& b) { return a.name < b.name; });
    return memories;
}

}  // namespace devlinx::sim
