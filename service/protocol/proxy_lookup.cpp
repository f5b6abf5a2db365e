#include "service/protocol/proxy_lookup.h"

#include <curl/curl.h>
#include <proxy.h>

#include <map>
#include <memory>
#include <mutex>

#include "service/core/text.h"

namespace MapsService {

namespace {

// Several downloads may run at once, so the cache is guarded.
struct ProxyCache {
    std::mutex mutex;
    std::map<std::wstring, std::wstring> proxies;
};

ProxyCache& proxy_cache() {
    static ProxyCache* cache = new ProxyCache();
    return *cache;
}

constexpr const char* kDirect = "direct://";

struct FactoryDeleter {
    void operator()(pxProxyFactory* factory) const { px_proxy_factory_free(factory); }
};
struct ProxiesDeleter {
    void operator()(char** proxies) const { px_proxy_factory_free_proxies(proxies); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// Asks the platform; nullopt when it has no answer.
std::optional<std::wstring> ask_platform(const std::string& url) {
    std::unique_ptr<pxProxyFactory, FactoryDeleter> factory(px_proxy_factory_new());
    if (!factory) {
        return std::nullopt;
    }
    std::unique_ptr<char*, ProxiesDeleter> proxies(
        px_proxy_factory_get_proxies(factory.get(), url.c_str()));
    if (!proxies || proxies.get()[0] == nullptr) {
        return std::nullopt;
    }
    // The first entry is the one to try; the rest are fallbacks we do not use.
    const std::string first = proxies.get()[0];
    if (first == kDirect) {
        return std::wstring();
    }
    return to_wide(first);
}

}  // namespace

std::wstring url_host(const std::wstring& url) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed) {
        return {};
    }
    const std::string narrow = to_narrow(url);
    if (curl_url_set(parsed.get(), CURLUPART_URL, narrow.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_GUESS_SCHEME) != CURLUE_OK) {
        return {};
    }
    char* host = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) {
        return {};
    }
    std::wstring result = to_wide(host);
    curl_free(host);
    return result;
}

std::optional<std::wstring> cached_proxy(const std::wstring& host) {
    ProxyCache& cache = proxy_cache();
    std::lock_guard lock(cache.mutex);
    const auto found = cache.proxies.find(host);
    if (found == cache.proxies.end()) {
        return std::nullopt;
    }
    return found->second;
}

int proxy_lookup(const std::wstring& url, std::wstring& proxy) {
    proxy.clear();
    const std::wstring host = url_host(url);
    if (!host.empty()) {
        if (auto cached = cached_proxy(host)) {
            proxy = *cached;
            return 0;
        }
    }
    const std::optional<std::wstring> answer = ask_platform(to_narrow(url));
    if (!answer) {
        return 1;
    }
    proxy = *answer;
    if (!host.empty()) {
        ProxyCache& cache = proxy_cache();
        std::lock_guard lock(cache.mutex);
        cache.proxies.emplace(host, proxy);
    }
    return 0;
}

}  // namespace MapsService
