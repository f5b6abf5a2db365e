#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/core/result_codes.h"

namespace MapsService {

class Downloader;

// Sent with every request.
inline constexpr const char* kUserAgent = "Mapporter";
// The file downloader reports progress at most once per this many bytes.
inline constexpr std::uint64_t kProgressGranularity = 51200;
inline constexpr const wchar_t* kInstallerContentType = L"application/vnd.symbian.install";

// Limits that end a transfer which stopped making progress, with result 9.
struct TransferLimits {
    long connectTimeoutSeconds = 30;
    long lowSpeedBytesPerSecond = 1;  // below this rate ...
    long lowSpeedSeconds = 60;        // ... for this long ends the transfer
};
// Process-wide; every downloader created afterwards uses them.
void set_transfer_limits(const TransferLimits& limits);
TransferLimits transfer_limits();

// Fetches a URL into a file on this computer and reports progress to a job.
class FileDownloader {
public:
    virtual ~FileDownloader() = default;
    [[nodiscard]] virtual Result Download(const std::wstring& targetFolder,
                                          const std::wstring& expectedContentType) = 0;
    virtual std::uint64_t bytes_received() const = 0;
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
                                                       Downloader* progressTarget);
std::unique_ptr<MemoryDownloader> create_memory_downloader(const std::wstring& url);

// One transfer over one libcurl easy handle, owned for the object's life.
class CurlDownloader {
public:
    explicit CurlDownloader(std::wstring url);
    virtual ~CurlDownloader();
    CurlDownloader(const CurlDownloader&) = delete;
    CurlDownloader& operator=(const CurlDownloader&) = delete;

    const std::wstring& url() const { return m_url; }

protected:
    using WriteCallback = std::size_t (*)(char*, std::size_t, std::size_t, void*);

    // Sets the transfer options, runs the transfer and answers libcurl's code.
    // The write callback receives `this`.
    CURLcode perform(WriteCallback write);
    // Asked while the transfer runs, also when no data arrives; true ends it.
    virtual bool should_abort() { return false; }
    // Time since the body last grew (or since the transfer started).
    std::chrono::steady_clock::duration time_without_data() const;
    [[nodiscard]] Result check_content_type(const std::wstring& expected);

    std::wstring m_url;
    CURL* m_handle = nullptr;
    std::uint64_t m_bytesReceived = 0;

private:
    static int on_transfer_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                    curl_off_t);

    curl_off_t m_lastDownloaded = 0;
    std::chrono::steady_clock::time_point m_lastData;
};

}  // namespace MapsService
