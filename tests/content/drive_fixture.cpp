#include "tests/content/drive_fixture.h"

#include <algorithm>
#include <fstream>

#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"

namespace atlasync::testing {

using namespace MapsService;

LocalDrive::LocalDrive(const std::filesystem::path& folder, const std::wstring& serverUrl) {
    drive = std::make_unique<PhoneDrive>(
        &phone, std::make_unique<FileSystemWin>(to_wide(folder.string())), true);
    try {
        drive->load_map_settings();
    } catch (const std::exception&) {
        drive->set_valid(false);
    }
    drive->set_server_url(serverUrl);
    phone.set_connected(true);
    drive->set_connected(true);
    phone.add_drive(drive.get());
}

std::wstring drive_path(const std::filesystem::path& folder, const std::string& relative) {
    std::string native = relative;
    std::replace(native.begin(), native.end(), '/', '\\');
    return to_wide(folder.string()) + L"\\" + to_wide(native);
}

void drain_messages() {
    take_messages();
}

std::vector<Message> take_messages() {
    std::vector<Message> messages;
    for (;;) {
        Message message;
        if (message_queue().pop(message, 1) != kResultOk || message.type == MSG_NOTHING) {
            return messages;
        }
        messages.push_back(message);
    }
}

std::filesystem::path tile_file(const std::filesystem::path& drive, const std::string& tile) {
    return drive / "cities/diskcache" / tile.substr(0, 1) / tile.substr(1, 1) / (tile + ".cdt");
}

void put_file(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace atlasync::testing
