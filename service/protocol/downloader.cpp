#include "service/protocol/downloader.h"

#include <algorithm>

#include "service/core/message_queue.h"
#include "service/core/trace.h"
#include "service/protocol/curl_downloader.h"

namespace MapsService {

DownloaderFile::DownloaderFile(std::wstring url, std::wstring targetFolder,
                               std::uint64_t totalBytes)
    : m_url(std::move(url)), m_targetFolder(std::move(targetFolder)) {
    m_totalBytes = totalBytes;
}

Result DownloaderFile::download() {
    ScopeTrace scope("MapsService::DownloaderFile::download");
    m_bytesDone = 0;
    OnDownloadProgress(PACKAGE_STARTED, kResultOk, 0, m_totalBytes, 0.0, m_totalBytes, 0.0);
    OnDownloadProgress(ITEM_STARTED, kResultOk, 0, m_totalBytes, 0.0, m_totalBytes, 0.0);

    std::uint64_t itemBytes = 0;
    Result result = kResultOk;
    {
        const std::unique_ptr<FileDownloader> downloader = create_file_downloader(m_url, this);
        result = downloader->Download(m_targetFolder, kInstallerContentType);
        if (result == kResultOk) {
            itemBytes = downloader->bytes_received();
        }
    }
    m_bytesDone += itemBytes;

    OnDownloadProgress(ITEM_FINISHED, result, 0, itemBytes, 100.0, itemBytes, 100.0);
    OnDownloadProgress(PACKAGE_FINISHED, result, 0, m_bytesDone, 100.0, m_bytesDone, 100.0);
    return result;
}

void DownloaderFile::progress(std::uint64_t currentBytes) {
    const std::uint64_t done = m_bytesDone + currentBytes;
    double percent = 50.0;
    if (m_totalBytes > 0) {
        percent =
            std::min(100.0, static_cast<double>(done) * 100.0 / static_cast<double>(m_totalBytes));
    }
    OnDownloadProgress(ITEM_PROGRESS, kResultOk, 0, currentBytes, percent, done, percent);
}

}  // namespace MapsService
