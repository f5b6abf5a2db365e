#pragma once

#include <cstdint>
#include <string>

namespace MapsService {

// What a package request asks the server for. Empty texts are left out.
struct PackageQuery {
    std::string name;
    std::string language;
    std::string version;
    std::string operatingSystem;
};

// Records per page of a package fetch.
inline constexpr std::int32_t kPageSize = 500;
// Request URLs must be shorter than this many characters.
inline constexpr std::size_t kRequestUrlCapacity = 2048;
// Characters of hexadecimal query text a request may use.
inline constexpr std::size_t kRequestQueryCapacity = 1023;

// Builds "<server>/pg?<hex TLV request>" for one page. Fails when the request
// does not fit its buffers: a request with items left out could ask for the
// wrong page again and again.
[[nodiscard]] bool encode_url_request(std::wstring& url, const std::string& serverUrl,
                                      const PackageQuery& query, std::int32_t pageOffset,
                                      std::int32_t pageSize);

}  // namespace MapsService
