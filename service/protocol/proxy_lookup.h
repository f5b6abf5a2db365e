#pragma once

#include <optional>
#include <string>

namespace MapsService {

// Finds the proxy for a URL through the platform's proxy configuration
// (environment, desktop settings, automatic configuration scripts). The
// answer is cached per host for the life of the process. Returns 0 and the
// proxy text (empty: connect directly), or 1 and an empty text when the
// configuration could not be read.
[[nodiscard]] int proxy_lookup(const std::wstring& url, std::wstring& proxy);

// The cached answer for a host, if any.
std::optional<std::wstring> cached_proxy(const std::wstring& host);

// The host part of a URL, empty when it cannot be parsed.
std::wstring url_host(const std::wstring& url);

}  // namespace MapsService
