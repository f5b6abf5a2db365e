#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/core/result_codes.h"

namespace MapsService {

class TransferTarget;

// Sent with every request.
inline constexpr const char* kUserAgent = "Mapporter";
// The file downloader reports progress at most once per this many bytes.
inline constexpr std::uint64_t kProgressGranularity = 51200;
inline constexpr const wchar_t* kInstallerContentType = L"application/vnd.symbian.install";

// When a transfer counts as stalled, and how often and after what pauses a
// transfer that failed for a passing reason (a dropped or refused connection,
// a stall, a 5xx answer) is tried again.
struct TransferLimits {
    long connectTimeoutSeconds = 30;
    std::chrono::milliseconds stall{15000};  // no body byte for this long ends the attempt
    // One pause per retry: a 4th failure in a row is final.
    std::vector<std::chrono::milliseconds> retryPauses{std::chrono::milliseconds(1000),
                                                       std::chrono::milliseconds(2000),
                                                       std::chrono::milliseconds(4000)};
};
// Process-wide; every downloader created afterwards uses them.
void set_transfer_limits(const TransferLimits& limits);
TransferLimits transfer_limits();

// Whom a transfer trusts and which schemes it may use. The certificate and the
// host name of an https server are always verified; a transfer that fails
// verification fails with libcurl's reason and is not tried again.
struct TransportSecurity {
    std::string caFile;  // PEM certificates trusted instead of the system's store; empty: the store
    bool httpsOnly = false;  // the server was named by https: a link to plain http is refused
};
// Process-wide, set by the facade with the server root; every transfer started
// afterwards uses it.
void set_transport_security(const TransportSecurity& security);
TransportSecurity transport_security();

// Fetches a URL into a file on this computer and reports progress to a job.
class FileDownloader {
public:
    virtual ~FileDownloader() = default;
    [[nodiscard]] virtual Result Download(const std::wstring& targetFolder,
                                          const std::wstring& expectedContentType) = 0;
    virtual std::uint64_t bytes_received() const = 0;
    // Lower-case hexadecimal MD5 of the file as written.
    virtual std::string checksum() const = 0;
};

// Fetches a URL into a byte buffer.
class MemoryDownloader {
public:
    virtual ~MemoryDownloader() = default;
    // Appends the body to the buffer; an empty expected type skips the check.
    [[nodiscard]] virtual Result Download(std::vector<std::uint8_t>& buffer,
                                          const std::wstring& expectedContentType) = 0;
};

// The progress target is not owned and must outlive the downloader.
std::unique_ptr<FileDownloader> create_file_downloader(const std::wstring& url,
                                                       TransferTarget* progressTarget);
std::unique_ptr<MemoryDownloader> create_memory_downloader(const std::wstring& url);

// One transfer over one libcurl easy handle, owned for the object's life.
class CurlDownloader {
    friend class TransferPool;

public:
    explicit CurlDownloader(std::wstring url);
    virtual ~CurlDownloader();
    CurlDownloader(const CurlDownloader&) = delete;
    CurlDownloader& operator=(const CurlDownloader&) = delete;

    const std::wstring& url() const { return m_url; }

protected:
    // Runs the transfer, and runs it again after a pause while it fails for a
    // passing reason (see TransferLimits), each retry traced with its cause.
    // Answers libcurl's code of the last attempt; cancelled() tells whether the
    // caller's abort ended it. The body goes to write().
    CURLcode perform();
    // The same steps for a driver that runs several transfers at once
    // (TransferPool): begin_transfer() once, then each attempt is readied by
    // start_attempt() and run by the driver; attempt_ended() answers the pause
    // before the next attempt (which prepare_retry() readies), or none once
    // the transfer is over.
    void begin_transfer();
    [[nodiscard]] bool start_attempt();
    std::optional<std::chrono::milliseconds> attempt_ended(CURLcode code);
    // Asked during a pause: true when the caller's abort ends the transfer as cancelled.
    bool abort_pause();
    // Takes one chunk of the body; answers the bytes taken, anything else ends
    // the transfer.
    virtual std::size_t write(const char* data, std::size_t bytes) = 0;
    // Asked while the transfer runs, also when no data arrives, and during the
    // pauses between attempts; true ends it.
    virtual bool should_abort() { return false; }
    // Asked during the pauses between attempts; true ends the transfer as cancelled.
    virtual bool should_abort_pause() { return should_abort(); }
    // Readies the next attempt after a failed one.
    virtual void prepare_retry() {}
    // False when the attempt failed for a reason of our own (the disk, a limit).
    virtual bool attempt_may_be_repeated() const { return true; }
    // Time since the body last grew (or since the attempt started).
    std::chrono::steady_clock::duration time_without_data() const;
    // The HTTP status of the current or last attempt; 0 before any.
    long http_status() const;
    bool cancelled() const { return m_cancelled; }
    // For callbacks that caught an exception (libcurl is C: none may pass through it).
    void record_callback_failure(const char* step) noexcept;
    bool callback_failed() const { return m_callbackFailed; }
    // Makes the current attempt's failure one worth another attempt, for this cause.
    void set_retry_cause(const char* cause) { m_retryCause = cause; }
    [[nodiscard]] Result check_content_type(const std::wstring& expected);
    // Traces and notes as the operation's failure cause that the map server
    // of this URL failed us: "cannot reach the map server HOST: REASON" when
    // it never answered, else "the map server HOST REASON". A transfer of a
    // TransferPool keeps it to itself (m_cause): its fetching thread may
    // outlive the operation, and the one that takes the item tells it.
    void note_server_failure(const std::string& reason) const;

    std::wstring m_url;
    CURL* m_handle = nullptr;
    std::uint64_t m_bytesReceived = 0;

private:
    static int on_transfer_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                    curl_off_t);
    static std::size_t on_write(char* data, std::size_t size, std::size_t count, void* self);
    // Why the last attempt failed when that is worth another one; null otherwise.
    const char* passing_failure(CURLcode code) const;
    // False when the caller aborted meanwhile.
    bool pause(std::chrono::milliseconds duration);
    // After the last attempt: why it failed, when the server or the way to it is to blame.
    void report_transfer_failure(CURLcode code) const;

    TransferLimits m_limits;    // of the transfer, fixed when it begins
    std::size_t m_retries = 0;  // attempts after the first so far
    curl_off_t m_lastDownloaded = 0;
    std::chrono::steady_clock::time_point m_lastData;
    std::chrono::milliseconds m_stallLimit{0};
    bool m_stalled = false;
    bool m_cancelled = false;
    bool m_callbackFailed = false;
    const char* m_retryCause = nullptr;  // a static text
    bool m_pooled = false;               // run by a TransferPool
    mutable std::string m_cause;         // noted last, when pooled
    // libcurl's own words on the last failure, which name what it tried ("Could
    // not resolve host: mapdata.example"); curl_easy_strerror only names the code.
    char m_errorText[CURL_ERROR_SIZE] = {};
};

}  // namespace MapsService
