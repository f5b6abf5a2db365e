#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/result_codes.h"

namespace MapsService {

// The four requests of the map server's version, category and cache-header
// services, and the decoding of their answers.
enum class VersionRequest { ServerVersion, VersionList, CategoryTree, CachedatHeader };

// The version-server host: the map server's host from the server URL with its
// first label left off ("maps.localhost:8080" gives "localhost:8080"). Empty
// while no server URL is known.
std::string version_server_host(const std::wstring& serverUrl);

// Builds the request's URL in the fixed 256-byte buffer. False when no host is
// known or the URL does not fit.
bool build_version_request_url(VersionRequest request, const std::string& host,
                               const VersionInfo& clientVersion, const VersionInfo& mapVersion,
                               std::string& url);

// Fetches the request from the map server at serverUrl into memory with its
// expected content type: 0, 1 when the URL cannot be built, or the
// downloader's code.
[[nodiscard]] Result fetch_version_request(const std::wstring& serverUrl, VersionRequest request,
                                           const VersionInfo& clientVersion,
                                           const VersionInfo& mapVersion,
                                           std::vector<std::uint8_t>& answer);

// The server version answer: tags 40 to 43 as a, b, c, d. `complete` is set
// when a, b and c were all present.
VersionInfo decode_server_version(const std::vector<std::uint8_t>& answer, bool& complete);
// The version list: one version per record, each closed by tag 254.
std::vector<VersionInfo> decode_version_list(const std::vector<std::uint8_t>& answer);

}  // namespace MapsService
