#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace atlasync::mapserver {

// Where the quota file lies and which form it takes.
enum class DriveLayout {
    Root,     // "qf" at the root, maps under "cities"
    Private,  // "private\20001f63\qf", maps under "private\20001f63"
    Legacy,   // the one-line quota file at the root, maps under "cities"
};

struct DriveOptions {
    std::filesystem::path content;       // a content folder made by generate
    std::string mapVersion = "1.1.7.0";  // into config.cfg
    std::string clientId = "qtvmaps3.0";
    std::vector<std::string> regions;  // region item ids (IDID), or "all"
    std::vector<std::string> voices;   // language names, or "all"
    DriveLayout layout = DriveLayout::Root;
};

struct DriveSummary {
    std::size_t regions = 0;
    std::size_t voices = 0;
};

// Writes a maps drive into the folder (created when missing): the settings
// files through the service's own writers, the tiles of the chosen regions
// and the chosen voices in the layout the map version reads. Throws
// std::invalid_argument for options that do not fit the content folder and
// std::runtime_error when writing fails.
DriveSummary write_drive(const DriveOptions& options, const std::filesystem::path& folder);

}  // namespace atlasync::mapserver
