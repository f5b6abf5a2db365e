#include "service/phones/device_table.h"

#include <mutex>

namespace MapsService {

namespace {

std::mutex g_tableMutex;
DeviceGenerationTable g_table;

DeviceGenerationTable installed_table() {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    return g_table;
}

}  // namespace

void set_device_generation_table(DeviceGenerationTable table) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    g_table = std::move(table);
}

Result load_device_generation_table() {
    const DeviceGenerationTable table = installed_table();
    return table.load ? table.load() : kResultOk;
}

std::optional<std::int32_t> find_device_generation(const std::wstring& model) {
    const DeviceGenerationTable table = installed_table();
    if (!table.lookup) {
        return std::nullopt;
    }
    return table.lookup(model);
}

}  // namespace MapsService
