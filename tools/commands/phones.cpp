// atlasync-tool phones: the phones the connectivity library sees, with their memories.

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "service/core/text.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_session.h"
#include "tools/command.h"

namespace atlasync::tool {

namespace {

using MapsService::to_narrow;
namespace Devlinx = MapsService::Devlinx;

std::string text(const wchar_t* value) {
    return value == nullptr ? std::string("-") : to_narrow(value);
}

// One line per memory: name, type, label, total and free bytes.
void list_memories(const wchar_t* serial) {
    uint32_t media = DLNK_MEDIA_ANY;
    uint32_t deviceId = 0;
    DLNKFSHANDLE fs = nullptr;
    DLNKRESULT status = Devlinx::DLNKOpenFS(serial, &media, &deviceId, &fs);
    if (status != DLNK_OK) {
        std::printf("  (no access to the phone's files: 0x%08X)\n", static_cast<unsigned>(status));
        return;
    }
    DLNKFINDHANDLE find = nullptr;
    status = Devlinx::DLNKFindBegin(fs, DLNK_FIND_FOLDERS, L"\\", &find);
    if (status == DLNK_OK) {
        DLNK_FOLDER_INFO* folder = nullptr;
        while (Devlinx::DLNKFindNextFolder(find, &folder) == DLNK_OK) {
            const std::wstring drive = std::wstring(L"\\\\") + folder->name;
            DLNK_FOLDER_CONTENT content{};
            content.struct_size = sizeof content;
            if (folder->memory_type != nullptr &&
                Devlinx::DLNKGetFolderInfo(fs, DLNK_GET_FOLDER_INFO, drive.c_str(), &content) ==
                    DLNK_OK) {
                std::printf("  %-4s %-4s %-20s total %15" PRId64 "  free %15" PRId64 "\n",
                            text(folder->name).c_str(), text(content.memory_type).c_str(),
                            text(content.label).c_str(), content.total_bytes, content.free_bytes);
                Devlinx::DLNKFreeFolderContentStructure(&content);
            }
            Devlinx::DLNKFreeFolderInfoStructure(folder);
        }
        Devlinx::DLNKFindEnd(find);
    }
    Devlinx::DLNKCloseFS(fs);
}

int list_phones(DLNKDMHANDLE deviceManager) {
    uint32_t count = 0;
    DLNKRESULT status = Devlinx::DLNKGetDeviceCount(deviceManager, &count);
    if (status != DLNK_OK) {
        std::fprintf(stderr, "atlasync-tool: cannot count phones (0x%08X)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    std::vector<DLNK_DEVICE> devices(count);
    status = Devlinx::DLNKGetDevices(deviceManager, devices.data(), &count);
    if (status != DLNK_OK) {
        std::fprintf(stderr, "atlasync-tool: cannot list phones (0x%08X)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    if (count == 0) {
        std::printf("No phones connected.\n");
    }
    for (uint32_t i = 0; i < count; ++i) {
        const DLNK_DEVICE& device = devices[i];
        std::printf("%s (serial %s, model %s)\n", text(device.name).c_str(),
                    text(device.serial_number).c_str(), text(device.model).c_str());
        if (device.serial_number != nullptr) {
            list_memories(device.serial_number);
        }
    }
    Devlinx::DLNKFreeDeviceStructure(count, devices.data());
    return 0;
}

int run_phones(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "atlasync-tool: phones takes no arguments\n");
        return 1;
    }
    DLNKDMHANDLE deviceManager = nullptr;
    const MapsService::Result started = MapsService::start_connectivity(deviceManager);
    if (started != MapsService::kResultOk) {
        std::fprintf(stderr, "atlasync-tool: the connectivity library could not be started (%d)\n",
                     started);
        return 1;
    }
    const int exitStatus = list_phones(deviceManager);
    if (MapsService::stop_connectivity(deviceManager) != MapsService::kResultOk) {
        std::fprintf(stderr, "atlasync-tool: the connectivity library did not stop cleanly\n");
    }
    return exitStatus;
}

const CommandRegistration kPhones{Command{
    "phones", "", "list the connected phones and each memory's type, label, total and free bytes",
    run_phones}};

}  // namespace

}  // namespace atlasync::tool
