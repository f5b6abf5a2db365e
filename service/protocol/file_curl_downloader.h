#pragma once

#include <fstream>
#include <string>

#include "service/protocol/curl_downloader.h"
#include "service/protocol/md5_digest.h"

namespace MapsService {

// Fetches a URL into a file in a folder on this computer, named after the
// URL's last path part, and feeds progress to the job; progress never goes
// back, also when a retry has to start the file again. A retry continues from
// the bytes already in the file when the server answers the range with 206. A
// partly written file stays on disk after a failure; the caller decides what
// to do with it.
class FileCurlDownloader : public CurlDownloader, public FileDownloader {
public:
    FileCurlDownloader(std::wstring url, TransferTarget* progressTarget)
        : CurlDownloader(std::move(url)), m_target(progressTarget) {}

    [[nodiscard]] Result Download(const std::wstring& targetFolder,
                                  const std::wstring& expectedContentType) override;
    // Download() in two halves, for a driver of several transfers at once
    // (TransferPool): open() makes the file, close() takes the code of the
    // transfer's last attempt and answers the download's result.
    [[nodiscard]] Result open(const std::wstring& targetFolder,
                              const std::wstring& expectedContentType);
    [[nodiscard]] Result close(CURLcode code);
    std::uint64_t bytes_received() const override { return m_bytesReceived; }
    std::string checksum() const override { return m_digest.hex(); }
    const std::string& target_path() const { return m_targetPath; }

private:
    std::size_t write(const char* data, std::size_t bytes) override;
    // False when this attempt's answer cannot continue the file (and the next
    // attempt must start it again).
    bool answer_fits_file();
    void start_file_again();
    bool should_abort() override;
    void prepare_retry() override;
    bool attempt_may_be_repeated() const override { return !m_writeFailed && !m_aborted; }
    // False (and the aborted flag set) once the user cancelled or the job may not go on.
    bool may_go_on();

    TransferTarget* m_target;  // not owned
    std::string m_targetPath;
    std::wstring m_expectedType;  // the content type the answer must have; empty: any
    std::ofstream m_file;
    Md5Digest m_digest;              // of the bytes in the file
    std::uint64_t m_lastReport = 0;  // the highest progress reported
    std::uint64_t m_resumeFrom = 0;  // where this attempt's range starts; 0 for all
    bool m_attemptAnswered = false;  // this attempt's first body bytes came
    bool m_restartNext = false;      // the next attempt must not ask for a range
    bool m_aborted = false;
    bool m_writeFailed = false;
};

// The first byte of a 206 answer, from its Content-Range; kNoRange when absent
// or unreadable.
inline constexpr std::uint64_t kNoRange = ~std::uint64_t{0};
std::uint64_t content_range_start(CURL* handle);

// The folder joined with the URL's file name (the text after the last slash
// or backslash, the whole URL when there is none).
std::string target_file_path(const std::wstring& folder, const std::wstring& url);

}  // namespace MapsService
