#pragma once

#include <optional>
#include <string>

namespace MapsService {

// A map server's base URL taken apart. Catalog requests go below its path; the
// links a catalog names must use its scheme (see CurlDownloader).
struct ServerUrl {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // a name, an IPv4 address, or an IPv6 address in brackets
    std::string port;    // decimal digits; empty: the scheme's own port
    std::string path;    // empty or "/..." without a trailing slash

    // "scheme://host[:port][path]"
    std::string text() const;
    // "host[:port]"
    std::string authority() const;
    // An IPv4 address or a bracketed IPv6 address rather than a name.
    bool host_is_address() const;
};

// Takes "http[s]://host[:port][/path]" apart; nothing, with the reason in
// `why`, for anything else (another scheme, user information, a query, an
// empty or malformed host, a port outside 1 to 65535).
std::optional<ServerUrl> parse_server_url(const std::string& text, std::string& why);

// The URL of the map server that a server root names:
// - "http://..." or "https://...": that base URL, checked as parse_server_url does;
// - an IP address (v4, or v6 in brackets) or "localhost", with or without a
//   port: "http://" followed by the root;
// - any other name, with or without a port: "http://mapdata." followed by it.
// Nothing, with the reason in `why`, for a root that names no server.
std::optional<std::string> server_url_of_root(const std::string& root, std::string& why);

}  // namespace MapsService
