#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/core/sync.h"
#include "service/protocol/server_record.h"

namespace MapsService {

// The server's device table (package "mclients"): per phone model its device
// generation and which kind of maps client it runs. Shared by the whole
// service; every access takes the table's lock.
class VelkaDevices {
public:
    struct Device {
        std::optional<std::int32_t> generation;  // "os"
        std::int32_t mapsVersion = 0;            // 1 "cl" (new clients), 0 "up"
    };

    // Fetches the table while it is empty: 0 or the catalog's code.
    [[nodiscard]] Result load(const std::wstring& serverUrl);
    // Replaces the table by the records' entries.
    void fill(const std::vector<ServerRecord>& records);
    void clear();

    // By model name, letter case aside.
    std::optional<Device> find(const std::wstring& model) const;
    std::optional<std::int32_t> generation(const std::wstring& model) const;

private:
    mutable Mutex m_mutex;
    std::map<std::wstring, Device> m_devices;
};

// The process-wide table.
VelkaDevices& velka_devices();

}  // namespace MapsService
