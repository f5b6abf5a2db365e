#include "service/protocol/curl_downloader.h"

#include <cstdint>
#include <mutex>
#include <thread>

#include "service/core/failure_cause.h"
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

TransportSecurity& current_security() {
    static TransportSecurity security;
    return security;
}

int handle_number(CURL* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

// The host part of a URL as libcurl reads it; the whole URL when it has none.
std::string url_host(const std::string& url) {
    std::string host = url;
    if (CURLU* parts = curl_url()) {
        char* part = nullptr;
        if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parts, CURLUPART_HOST, &part, 0) == CURLUE_OK && part != nullptr) {
            host = part;
        }
        curl_free(part);
        curl_url_cleanup(parts);
    }
    return host;
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

void set_transport_security(const TransportSecurity& security) {
    std::lock_guard lock(limits_mutex());
    current_security() = security;
}

TransportSecurity transport_security() {
    std::lock_guard lock(limits_mutex());
    return current_security();
}

CurlDownloader::CurlDownloader(std::wstring url)
    : m_url(std::move(url)), m_handle(curl_easy_init()) {
    TraceDebug("==>curl_easy_init() returned with %d", handle_number(m_handle));
}

CurlDownloader::~CurlDownloader() {
    TraceDebug("==>curl_easy_cleanup(%d)", handle_number(m_handle));
    curl_easy_cleanup(m_handle);
}

CURLcode CurlDownloader::perform() {
    begin_transfer();
    for (;;) {
        const CURLcode code = start_attempt() ? curl_easy_perform(m_handle) : CURLE_FAILED_INIT;
        const std::optional<std::chrono::milliseconds> wait = attempt_ended(code);
        if (!wait) {
            return code;
        }
        if (!pause(*wait)) {
            m_cancelled = true;
            return CURLE_ABORTED_BY_CALLBACK;
        }
        prepare_retry();
    }
}

void CurlDownloader::begin_transfer() {
    m_limits = transfer_limits();
    m_retries = 0;
    m_cancelled = false;
    m_callbackFailed = false;
}

std::optional<std::chrono::milliseconds> CurlDownloader::attempt_ended(CURLcode code) {
    if (code != CURLE_OK) {
        TraceDebug("curl transfer: %s (%s)", curl_easy_strerror(code), m_errorText);
    }
    const char* cause = m_cancelled ? nullptr : passing_failure(code);
    if (cause == nullptr || m_retries >= m_limits.retryPauses.size()) {
        report_transfer_failure(code);
        return std::nullopt;
    }
    const std::chrono::milliseconds wait = m_limits.retryPauses[m_retries++];
    TraceWarning(L"transfer of %s failed (%s): retry %d of %d in %d ms", m_url.c_str(),
                 to_wide(cause).c_str(), static_cast<int>(m_retries),
                 static_cast<int>(m_limits.retryPauses.size()), static_cast<int>(wait.count()));
    return wait;
}

bool CurlDownloader::abort_pause() {
    if (should_abort_pause()) {
        m_cancelled = true;
    }
    return m_cancelled;
}

bool CurlDownloader::start_attempt() {
    if (m_handle == nullptr) {
        return false;
    }
    const TransportSecurity security = transport_security();
    const std::string url = to_narrow(m_url);
    std::wstring proxy;
    (void)proxy_lookup(m_url, proxy);
    const std::string narrowProxy = to_narrow(proxy);

    // These five first and in this order; the limits and the progress hook follow.
    curl_easy_setopt(m_handle, CURLOPT_URL, url.c_str());
    if (!narrowProxy.empty()) {
        curl_easy_setopt(m_handle, CURLOPT_PROXY, narrowProxy.c_str());
    }
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &CurlDownloader::on_write);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_handle, CURLOPT_USERAGENT, kUserAgent);

    curl_easy_setopt(m_handle, CURLOPT_CONNECTTIMEOUT, m_limits.connectTimeoutSeconds);
    // libcurl calls this at least once a second even while nothing arrives, so a
    // cancel reaches a stalled transfer too, and a stall is noticed.
    curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, &CurlDownloader::on_transfer_progress);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_handle, CURLOPT_NOPROGRESS, 0L);
    // Signals cannot interrupt name resolution in a threaded program.
    curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);

    // Verification stays on whatever the build's defaults: a server that
    // cannot prove who it is gets no request.
    curl_easy_setopt(m_handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!security.caFile.empty()) {
        curl_easy_setopt(m_handle, CURLOPT_CAINFO, security.caFile.c_str());
    }
    // A catalog of an https server that links to http would move the archives
    // out of the session; such a link fails instead of being fetched in clear.
    const char* protocols = security.httpsOnly ? "https" : "http,https";
    curl_easy_setopt(m_handle, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(m_handle, CURLOPT_REDIR_PROTOCOLS_STR, protocols);

    m_stallLimit = m_limits.stall;
    m_stalled = false;
    m_retryCause = nullptr;
    m_lastDownloaded = 0;
    m_lastData = std::chrono::steady_clock::now();
    m_errorText[0] = '\0';
    curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_errorText);
    return true;
}

void CurlDownloader::report_transfer_failure(CURLcode code) const {
    // A cancel, our own disk or a limit of ours is no fault of the server's.
    if (m_cancelled || m_callbackFailed || !attempt_may_be_repeated()) {
        return;
    }
    const long status = http_status();
    if (m_stalled) {
        note_server_failure("sent no data for " + std::to_string(m_stallLimit.count()) + " ms");
    } else if (code != CURLE_OK && code != CURLE_WRITE_ERROR) {
        note_server_failure(curl_easy_strerror(code));
    } else if (status >= 400) {
        note_server_failure("answered HTTP status " + std::to_string(status));
    }
}

void CurlDownloader::note_server_failure(const std::string& reason) const {
    const std::string url = to_narrow(m_url);
    const std::string host = url_host(url);
    const std::string cause = http_status() == 0 && !m_stalled
                                  ? "cannot reach the map server " + host + ": " + reason
                                  : "the map server " + host + " " + reason;
    TraceError("transfer of %s failed: %s%s%s", url.c_str(), cause.c_str(),
               m_errorText[0] != '\0' ? "; libcurl: " : "", m_errorText);
    if (m_pooled) {
        m_cause = cause;
    } else {
        note_failure_cause(cause);
    }
}

std::size_t CurlDownloader::on_write(char* data, std::size_t size, std::size_t count, void* self) {
    auto* downloader = static_cast<CurlDownloader*>(self);
    try {
        return downloader->write(data, size * count);
    } catch (...) {
        // No exception may cross libcurl; 0 ends the transfer.
        downloader->record_callback_failure("taking the received data");
        return 0;
    }
}

void CurlDownloader::record_callback_failure(const char* step) noexcept {
    m_callbackFailed = true;
    try {
        TraceError("transfer of %s: error while %s", to_narrow(m_url).c_str(), step);
    } catch (...) {
        // Nothing more to be done about a trace line that cannot be written.
    }
}

const char* CurlDownloader::passing_failure(CURLcode code) const {
    if (m_callbackFailed || !attempt_may_be_repeated()) {
        return nullptr;
    }
    if (m_retryCause != nullptr) {
        return m_retryCause;
    }
    if (m_stalled) {
        return "no data arrived in time";
    }
    if (http_status() >= 500) {
        return "the server answered 5xx";
    }
    switch (code) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
            return curl_easy_strerror(code);
        default:
            return nullptr;
    }
}

bool CurlDownloader::pause(std::chrono::milliseconds duration) {
    constexpr auto kPoll = std::chrono::milliseconds(20);
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (should_abort_pause()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            kPoll, end - std::chrono::steady_clock::now()));
    }
    return !should_abort_pause();
}

int CurlDownloader::on_transfer_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                         curl_off_t) {
    auto* downloader = static_cast<CurlDownloader*>(self);
    if (downloaded != downloader->m_lastDownloaded) {
        downloader->m_lastDownloaded = downloaded;
        downloader->m_lastData = std::chrono::steady_clock::now();
    }
    // No exception may cross libcurl.
    bool abort = false;
    try {
        abort = downloader->should_abort();
    } catch (...) {
        downloader->record_callback_failure("asking whether to go on");
        return 1;
    }
    if (abort) {
        downloader->m_cancelled = true;
        return 1;
    }
    if (downloader->time_without_data() >= downloader->m_stallLimit) {
        downloader->m_stalled = true;
        return 1;
    }
    return 0;
}

std::chrono::steady_clock::duration CurlDownloader::time_without_data() const {
    return std::chrono::steady_clock::now() - m_lastData;
}

long CurlDownloader::http_status() const {
    long status = 0;
    if (m_handle == nullptr ||
        curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        return 0;
    }
    return status;
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
        note_server_failure("sent no content type, " + to_narrow(expected) + " expected");
        return kResultServerError;
    }
    const std::string expectedText = to_narrow(expected);
    if (ascii_lower(expectedText) != ascii_lower(received)) {
        TraceError("expected content-type (%s) doesn't match with received (%s)",
                   expectedText.c_str(), received);
        // An error status, noted already, says more than the type of its page.
        if (http_status() < 400) {
            note_server_failure("sent " + std::string(received) + " instead of " + expectedText);
        }
        return kResultServerError;
    }
    return kResultOk;
}

}  // namespace MapsService
