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

// Where the version, category and cache-header services of a map server are.
struct VersionServer {
    std::string scheme = "http";  // the map server's
    // "host[:port]", empty while no server URL is known. Labelled: the map
    // server's host with its first label left off, each service's label goes
    // in front ("maps.localhost:8080" gives "localhost:8080", asked as
    // "ver.localhost:8080"). Otherwise the map server itself, with its path.
    std::string host;
    bool labelled = true;
};
// An address or a one-label name ("localhost") is asked itself: "ver.127.0.0.1"
// names nothing, and a certificate for "localhost" does not cover
// "ver.localhost".
VersionServer version_server(const std::wstring& serverUrl);

// Builds the request's URL in the fixed 256-byte buffer. False when no host is
// known or the URL does not fit.
bool build_version_request_url(VersionRequest request, const VersionServer& server,
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
