#pragma once

#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/protocol/package_query.h"
#include "service/protocol/server_record.h"

namespace MapsService {

// Fetches a server package page by page and appends its records. The next
// page is asked for only while pages come back full. Returns 0, 1 when a
// request URL could not be built, or the memory downloader's result.
[[nodiscard]] Result fetch_package(const std::wstring& serverUrl, const std::wstring& contentType,
                                   const PackageQuery& query, std::vector<ServerRecord>& records);

// The package request behind the facade's GetPackage: a one-off fetch into
// the caller's list, without a package object.
class PackageRequest {
public:
    PackageRequest(std::wstring serverUrl, std::vector<ServerRecord>& records);

    // Appends the package's records to the caller's list.
    [[nodiscard]] Result fetch(const std::string& packageName, const std::string& language,
                               const std::string& version, const std::string& operatingSystem);

private:
    std::wstring m_serverUrl;
    std::wstring m_contentType;
    std::vector<ServerRecord>& m_records;  // the caller's
};

}  // namespace MapsService
