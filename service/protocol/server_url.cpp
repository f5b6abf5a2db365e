#include "service/protocol/server_url.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "service/core/text.h"

namespace MapsService {

namespace {

constexpr const char* kNamePrefix = "mapdata.";
constexpr std::size_t kLongestName = 253;

bool is_ipv4(const std::string& host) {
    in_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1;
}

bool is_bracketed_ipv6(const std::string& host) {
    if (host.size() < 3 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    in6_addr address{};
    return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &address) == 1;
}

// Labels of letters, digits and inner hyphens, dot-separated.
bool is_host_name(const std::string& host) {
    if (host.empty() || host.size() > kLongestName) {
        return false;
    }
    std::size_t start = 0;
    while (start <= host.size()) {
        const std::size_t end = std::min(host.find('.', start), host.size());
        const std::string label = host.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(),
                         [](unsigned char c) { return std::isalnum(c) != 0 || c == '-'; })) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool looks_numeric(const std::string& host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isdigit(c) != 0 || c == '.';
    });
}

// Splits "host[:port]" and checks both; the reason when either is unusable.
std::string split_authority(const std::string& authority, ServerUrl& url) {
    if (authority.empty()) {
        return "no host is named";
    }
    if (authority.front() != '[' && std::count(authority.begin(), authority.end(), ':') > 1) {
        return "an IPv6 address goes in brackets: [" + authority + "]";
    }
    std::string host = authority;
    std::string port;
    const std::size_t closing = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos && (closing == std::string::npos || colon > closing)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        unsigned number = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || error != std::errc() || end != port.data() + port.size() ||
            number == 0 || number > 65535) {
            return "the port must be a number from 1 to 65535, not \"" + port + "\"";
        }
    }
    if (host.empty()) {
        return "no host is named";
    }
    if (host.front() == '[') {
        if (!is_bracketed_ipv6(host)) {
            return "\"" + host + "\" is not an IPv6 address in brackets";
        }
    } else if (looks_numeric(host)) {
        if (!is_ipv4(host)) {
            return "\"" + host + "\" is not an IPv4 address";
        }
    } else if (!is_host_name(host)) {
        return "\"" + host + "\" is not a host name";
    }
    url.host = host;
    url.port = port;
    return {};
}

}  // namespace

std::string ServerUrl::authority() const {
    return port.empty() ? host : host + ":" + port;
}

std::string ServerUrl::text() const {
    return scheme + "://" + authority() + path;
}

bool ServerUrl::host_is_address() const {
    return is_ipv4(host) || is_bracketed_ipv6(host);
}

std::optional<ServerUrl> parse_server_url(const std::string& text, std::string& why) {
    const std::size_t separator = text.find("://");
    if (separator == std::string::npos) {
        why = "\"" + text + "\" does not start with http:// or https://";
        return std::nullopt;
    }
    ServerUrl url;
    url.scheme = ascii_lower(text.substr(0, separator));
    if (url.scheme != "http" && url.scheme != "https") {
        why = "the scheme must be http or https, not \"" + url.scheme + "\"";
        return std::nullopt;
    }
    const std::string rest = text.substr(separator + 3);
    if (const auto bad = rest.find_first_of("?#@ \t\r\n\\"); bad != std::string::npos) {
        why = std::string("a server URL may not hold '") + rest[bad] + "'";
        return std::nullopt;
    }
    if (std::any_of(rest.begin(), rest.end(),
                    [](unsigned char c) { return c < 0x20 || c >= 0x7f; })) {
        why = "a server URL may hold printable ASCII only";
        return std::nullopt;
    }
    const std::size_t slash = rest.find('/');
    why = split_authority(rest.substr(0, slash), url);
    if (!why.empty()) {
        return std::nullopt;
    }
    if (slash != std::string::npos) {
        url.path = rest.substr(slash);
        // Requests append "/pg", "/vt", ...: a trailing slash would double.
        while (!url.path.empty() && url.path.back() == '/') {
            url.path.pop_back();
        }
    }
    return url;
}

std::optional<std::string> server_url_of_root(const std::string& root, std::string& why) {
    if (root.empty()) {
        why = "the server root is empty";
        return std::nullopt;
    }
    if (root.find("://") != std::string::npos) {
        const auto url = parse_server_url(root, why);
        return url ? std::optional(url->text()) : std::nullopt;
    }
    if (root.find('/') != std::string::npos) {
        why = "a server root without http:// or https:// is a host and port, without a path";
        return std::nullopt;
    }
    ServerUrl url;
    why = split_authority(root, url);
    if (!why.empty()) {
        return std::nullopt;
    }
    // An address or localhost is the server itself; a name is the domain the
    // map server lives in.
    const bool itself = url.host_is_address() || ascii_lower(url.host) == "localhost";
    return "http://" + std::string(itself ? "" : kNamePrefix) + root;
}

}  // namespace MapsService
