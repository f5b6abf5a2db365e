#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "mapserver/drive/drive_writer.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/message.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// A phone with one drive over a local folder, connected; the drive is valid
// when the folder holds maps settings. It asks the map server at serverUrl.
struct LocalDrive {
    explicit LocalDrive(const std::filesystem::path& folder, const std::wstring& serverUrl = {});

    MapsService::Phone phone{L"Test phone", L"0123"};
    std::unique_ptr<MapsService::PhoneDrive> drive;
};

// The drive path of a file below a local folder, as the drive names it.
std::wstring drive_path(const std::filesystem::path& folder, const std::string& relative);

// Empties the process-wide message queue.
void drain_messages();
// Every message queued since, in order.
std::vector<MapsService::Message> take_messages();

// Where a tile of a maps drive in the root layout lies below the drive's folder.
std::filesystem::path tile_file(const std::filesystem::path& drive, const std::string& tile);

// Writes bytes (as they are) into a file, creating its folder.
void put_file(const std::filesystem::path& path, const std::string& bytes);

}  // namespace atlasync::testing
