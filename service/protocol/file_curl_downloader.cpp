#include "service/protocol/file_curl_downloader.h"

#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/downloader.h"

namespace MapsService {

std::string target_file_path(const std::wstring& folder, const std::wstring& url) {
    const std::size_t slash = url.find_last_of(L"/\\");
    std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
    std::wstring path = folder;
    // Local folders use the native separator.
    if (!path.empty() && path.back() != L'/' && path.back() != L'\\') {
        path += L'/';
    }
    if (!name.empty() && (name.front() == L'/' || name.front() == L'\\')) {
        name.erase(0, 1);
    }
    return to_narrow(path + name);
}

Result FileCurlDownloader::Download(const std::wstring& targetFolder,
                                    const std::wstring& expectedContentType) {
    ScopeTrace scope("MapsService::FileCurlDownloader::Download");
    TraceInfo(L"start download file from %s. Save in %s", m_url.c_str(), targetFolder.c_str());
    m_targetPath = target_file_path(targetFolder, m_url);
    m_file.open(m_targetPath, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_file.is_open()) {
        return kResultDiskError;
    }
    m_bytesReceived = 0;
    m_lastReport = 0;
    m_aborted = false;
    m_writeFailed = false;
    const CURLcode code = perform(&FileCurlDownloader::on_write);
    m_file.close();
    // A write lost on the way to the disk must not pass for a complete file.
    if (m_writeFailed || m_file.fail()) {
        TraceError("FileCurlDownloader: writing %s failed", m_targetPath.c_str());
        return kResultDiskError;
    }
    if (m_aborted) {
        return kResultCancelled;
    }
    if (code != CURLE_OK) {
        return kResultServerError;
    }
    if (m_target != nullptr) {
        m_target->progress(m_bytesReceived);
    }
    return check_content_type(expectedContentType);
}

std::size_t FileCurlDownloader::on_write(char* data, std::size_t size, std::size_t count,
                                         void* self) {
    auto* downloader = static_cast<FileCurlDownloader*>(static_cast<CurlDownloader*>(self));
    const std::size_t bytes = size * count;
    downloader->m_bytesReceived += bytes;
    if (downloader->m_bytesReceived - downloader->m_lastReport >= kProgressGranularity) {
        downloader->m_lastReport = downloader->m_bytesReceived;
        if (downloader->m_target != nullptr) {
            downloader->m_target->progress(downloader->m_bytesReceived);
        }
    }
    downloader->m_file.write(data, static_cast<std::streamsize>(bytes));
    if (!downloader->m_file) {
        downloader->m_writeFailed = true;
        return 0;
    }
    return downloader->may_go_on() ? bytes : 0;
}

bool FileCurlDownloader::should_abort() {
    return !may_go_on();
}

bool FileCurlDownloader::may_go_on() {
    if (m_aborted) {
        return false;
    }
    const bool cancelled = service_cancel_flag().is_set();
    const bool online = m_target == nullptr || m_target->may_continue();
    if (!cancelled && online) {
        return true;
    }
    TraceDebug("FileCurlDownloader::Callback(): cancel_flag: %s", cancelled ? "true" : "false");
    TraceDebug("FileCurlDownloader::Callback(): online_flag: %s", online ? "true" : "false");
    m_aborted = true;
    return false;
}

}  // namespace MapsService
