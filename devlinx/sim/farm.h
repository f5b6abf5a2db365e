#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devlinx/devlinx_api.h"

// The phone farm: one folder per connected phone, each with a phone.ini and
// one folder per memory. Every call reads the farm afresh, so tests and the
// devlinx-phone tool change phones with plain file operations.
namespace devlinx::sim {

namespace fs = std::filesystem;

inline constexpr const char* kPhoneIni = "phone.ini";
inline constexpr const char* kMemoryIni = "memory.ini";
inline constexpr const char* kInstalledList = "installed.txt";

struct MemoryConfig {
    std::wstring name;  // "C:", "E:"
    fs::path folder;
    std::wstring label;
    std::wstring type;      // "DEV" or "MMC"
    std::int64_t capacity;  // bytes
};

struct PhoneConfig {
    fs::path folder;
    std::wstring serial;
    std::wstring name;
    std::wstring model;
    std::wstring extra;
    std::wstring imsi;  // empty: the phone does not report one
    std::uint32_t type_code = DLNK_TYPE_SERIES_C;
    std::uint32_t features = DLNK_FEATURE_SIS_INSTALL | DLNK_FEATURE_APPLICATION_LIST;
    std::int32_t generation = 0;  // 0: the phone does not report one
    std::uint32_t media = DLNK_MEDIA_USB;
    std::uint32_t device_id = 0;
    std::vector<std::wstring> applications;
    // How an installation ends: its status, whether the phone asks the user
    // to act, whether it leaves the marker file, pause per progress step.
    DLNKRESULT install_status = DLNK_OK;
    std::int32_t install_user_action = 0;  // how often an installation asks the user
    bool install_writes_marker = true;
    std::uint32_t install_step_ms = 0;
    // Status a call answers instead of doing its work ("fail.DLNKWriteFile").
    std::map<std::string, DLNKRESULT> faults;

    std::optional<DLNKRESULT> fault(const char* call) const;
};

// DEVLINX_SIM_FARM, else "SimFarm" of the API settings file, else
// ~/.local/share/devlinx/farm.
fs::path farm_folder();

// Size text with an optional K, M or G suffix (binary units); nullopt when malformed.
std::optional<std::int64_t> parse_size(const std::string& text);

// Phones whose folder holds a readable phone.ini; hidden folders are being built.
std::vector<PhoneConfig> connected_phones(const fs::path& farm);
std::optional<PhoneConfig> find_phone(const std::wstring& serial);

std::vector<MemoryConfig> phone_memories(const PhoneConfig& phone);

// Bytes of every regular file below a folder (memory.ini of a memory excluded).
// Each folder is counted again only once its times change, which adding,
// removing or renaming an entry does; a file rewritten in place counts anew
// with the next change of its folder.
std::int64_t tree_bytes(const fs::path& folder);

}  // namespace devlinx::sim
