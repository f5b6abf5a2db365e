#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/protocol/server_record.h"

namespace MapsService {

// Base of every catalog kind: a named server package fetched from the map
// server and kept as generic records. The kinds turn records into URLInfo.
class ServerPackage {
public:
    ServerPackage(std::wstring serverUrl, std::wstring packageName, std::wstring language,
                  std::wstring version, std::wstring operatingSystem);
    virtual ~ServerPackage() = default;
    ServerPackage(const ServerPackage&) = delete;
    ServerPackage& operator=(const ServerPackage&) = delete;

    // Starts from an empty record list and downloads the package.
    [[nodiscard]] virtual Result load();
    virtual void clear();
    virtual void get_addons(const std::vector<std::int32_t>& chosenRegions,
                            std::vector<URLInfo>& downloadList);
    // Appends a copy of every record; answers the list's size.
    virtual std::size_t copy_records(std::vector<ServerRecord>& out) const;
    // Appends the item conversion of every record; answers the list's size.
    virtual std::size_t convert_records(std::vector<URLInfo>& out);
    virtual std::int32_t convert_id(std::int32_t id);
    virtual std::int32_t item_id(const ServerRecord& record);
    // Fetches every page and appends the records (does not clear them first).
    [[nodiscard]] virtual Result download();
    virtual URLInfo convert_item(const ServerRecord& record);

    // The attribute's value, or an empty string (traced) when the record lacks it.
    std::wstring get_attribute(const ServerRecord& record, const std::wstring& name) const;

    bool loaded() const { return m_loaded; }
    const std::vector<ServerRecord>& records() const { return m_records; }
    const std::wstring& package_name() const { return m_packageName; }
    const std::wstring& server_url() const { return m_serverUrl; }

protected:
    std::wstring m_packageName;
    std::wstring m_language;
    std::wstring m_version;
    std::wstring m_operatingSystem;
    std::wstring m_contentType;
    std::wstring m_serverUrl;
    bool m_loaded = false;                // the last download produced at least one record
    std::vector<ServerRecord> m_records;  // in arrival order
};

}  // namespace MapsService
