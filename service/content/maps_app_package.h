#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/core/sync.h"
#include "service/protocol/server_record.h"

namespace MapsService {

class QuotaFile;

// The installer catalog of the maps application (package "touchfw"): fetched
// once, while it is empty, and kept for the whole run, shared by every drive
// under its lock.
class MapsAppPackage {
public:
    // 0 when loaded (now or before), else the catalog's code.
    [[nodiscard]] Result Load(const std::wstring& serverUrl);
    void clear();

    std::vector<ServerRecord> items() const;
    std::optional<ServerRecord> find_item(std::int32_t id) const;

private:
    mutable Mutex m_mutex;
    std::vector<ServerRecord> m_items;
};

// The process-wide catalog.
MapsAppPackage& maps_app_package();

// The attribute's value; empty when the record lacks it.
std::wstring item_attribute(const ServerRecord& item, const wchar_t* name);
// "content_size" and the like: 0 when absent or not a number.
std::uint64_t item_size(const ServerRecord& item, const wchar_t* name);

// Brings the quota file up to date after an installation of that client:
// only what differs is replaced, and the file is written only when something
// changed. 0, or the write's code.
[[nodiscard]] Result update_quota_after_install(QuotaFile& quota, const std::wstring& clientId,
                                                const std::wstring& clientVersion,
                                                const std::wstring& build);

}  // namespace MapsService
