#include "service/protocol/curl_downloader.h"

#include <cctype>
#include <cstdint>
#include <mutex>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/proxy_lookup.h"

namespace MapsService {

namespace {

std::mutex& limits_mutex() {
    static std::mutex mutex;
    return mutex;
}

TransferLimits& current_limits() {
    static TransferLimits limits;
    return limits;
}

std::string lower_case(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

int handle_number(CURL* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

}  // namespace

void set_transfer_limits(const TransferLimits& limits) {
    std::lock_guard lock(limits_mutex());
    current_limits() = limits;
}

TransferLimits transfer_limits() {
    std::lock_guard lock(limits_mutex());
    return current_limits();
}

CurlDownloader::CurlDownloader(std::wstring url)
    : m_url(std::move(url)), m_handle(curl_easy_init()) {
    TraceDebug("==>curl_easy_init() returned with %d", handle_number(m_handle));
}

CurlDownloader::~CurlDownloader() {
    TraceDebug("==>curl_easy_cleanup(%d)", handle_number(m_handle));
    curl_easy_cleanup(m_handle);
}

CURLcode CurlDownloader::perform(WriteCallback write) {
    if (m_handle == nullptr) {
        return CURLE_FAILED_INIT;
    }
    const std::string url = to_narrow(m_url);
    std::wstring proxy;
    (void)proxy_lookup(m_url, proxy);
    const std::string narrowProxy = to_narrow(proxy);

    // These five first and in this order; the limits and the progress hook follow.
    curl_easy_setopt(m_handle, CURLOPT_URL, url.c_str());
    if (!narrowProxy.empty()) {
        curl_easy_setopt(m_handle, CURLOPT_PROXY, narrowProxy.c_str());
    }
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_handle, CURLOPT_USERAGENT, kUserAgent);

    const TransferLimits limits = transfer_limits();
    curl_easy_setopt(m_handle, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
    curl_easy_setopt(m_handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(m_handle, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    // libcurl calls this at least once a second even while nothing arrives, so a
    // cancel reaches a stalled transfer too.
    curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, &CurlDownloader::on_transfer_progress);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_handle, CURLOPT_NOPROGRESS, 0L);
    // Signals cannot interrupt name resolution in a threaded program.
    curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);

    m_lastDownloaded = 0;
    m_lastData = std::chrono::steady_clock::now();
    const CURLcode code = curl_easy_perform(m_handle);
    if (code != CURLE_OK) {
        TraceDebug("curl_easy_perform: %s", curl_easy_strerror(code));
    }
    return code;
}

int CurlDownloader::on_transfer_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                         curl_off_t) {
    auto* downloader = static_cast<CurlDownloader*>(self);
    if (downloaded != downloader->m_lastDownloaded) {
        downloader->m_lastDownloaded = downloaded;
        downloader->m_lastData = std::chrono::steady_clock::now();
    }
    return downloader->should_abort() ? 1 : 0;
}

std::chrono::steady_clock::duration CurlDownloader::time_without_data() const {
    return std::chrono::steady_clock::now() - m_lastData;
}

Result CurlDownloader::check_content_type(const std::wstring& expected) {
    if (expected.empty()) {
        return kResultOk;
    }
    char* received = nullptr;
    if (m_handle == nullptr ||
        curl_easy_getinfo(m_handle, CURLINFO_CONTENT_TYPE, &received) != CURLE_OK ||
        received == nullptr) {
        TraceError(L"unable to get content-type. %s was expected", expected.c_str());
        return kResultServerError;
    }
    const std::string expectedText = to_narrow(expected);
    if (lower_case(expectedText) != lower_case(received)) {
        TraceError("expected content-type (%s) doesn't match with received (%s)",
                   expectedText.c_str(), received);
        return kResultServerError;
    }
    return kResultOk;
}

}  // namespace MapsService
