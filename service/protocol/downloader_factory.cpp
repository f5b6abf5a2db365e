#include "service/protocol/curl_downloader.h"
#include "service/protocol/file_curl_downloader.h"
#include "service/protocol/memory_curl_downloader.h"

namespace MapsService {

std::unique_ptr<FileDownloader> create_file_downloader(const std::wstring& url,
                                                       TransferTarget* progressTarget) {
    return std::make_unique<FileCurlDownloader>(url, progressTarget);
}

std::unique_ptr<MemoryDownloader> create_memory_downloader(const std::wstring& url) {
    return std::make_unique<MemoryCurlDownloader>(url);
}

}  // namespace MapsService
