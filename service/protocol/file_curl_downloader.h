#pragma once

#include <fstream>
#include <string>

#include "service/protocol/curl_downloader.h"

namespace MapsService {

// Fetches a URL into a file in a folder on this computer, named after the
// URL's last path part, and feeds progress to the job. A partly written file
// stays on disk after a failure; the caller decides what to do with it.
class FileCurlDownloader : public CurlDownloader, public FileDownloader {
public:
    FileCurlDownloader(std::wstring url, Downloader* progressTarget)
        : CurlDownloader(std::move(url)), m_target(progressTarget) {}

    [[nodiscard]] Result Download(const std::wstring& targetFolder,
                                  const std::wstring& expectedContentType) override;
    std::uint64_t bytes_received() const override { return m_bytesReceived; }
    const std::string& target_path() const { return m_targetPath; }

private:
    static std::size_t on_write(char* data, std::size_t size, std::size_t count, void* self);
    bool should_abort() override;
    // False (and the aborted flag set) once the user cancelled or the job may not go on.
    bool may_go_on();

    Downloader* m_target;  // not owned
    std::string m_targetPath;
    std::ofstream m_file;
    std::uint64_t m_lastReport = 0;
    bool m_aborted = false;
    bool m_writeFailed = false;
};

// The folder joined with the URL's file name (the text after the last slash
// or backslash, the whole URL when there is none).
std::string target_file_path(const std::wstring& folder, const std::wstring& url);

}  // namespace MapsService
