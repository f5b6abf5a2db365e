#include "service/protocol/memory_curl_downloader.h"

#include <algorithm>

#include "service/core/sync.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

// A cancelled memory download ends once nothing has arrived for this long.
constexpr auto kStallBeforeCancel = std::chrono::milliseconds(300);
// Most a Content-Length header can make us set aside before the data arrives.
constexpr std::uint64_t kMaximumReserve = 64u << 20;

}  // namespace

Result MemoryCurlDownloader::Download(std::vector<std::uint8_t>& buffer,
                                      const std::wstring& expectedContentType) {
    ScopeTrace scope("MapsService::MemoryCurlDownloader::Download");
    TraceInfo(L"start memory download from %s.", m_url.c_str());
    m_bytesReceived = 0;
    m_buffer = &buffer;
    const CURLcode code = perform(&MemoryCurlDownloader::on_write);
    m_buffer = nullptr;
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        return kResultCancelled;
    }
    if (code != CURLE_OK) {
        return kResultServerError;
    }
    return check_content_type(expectedContentType);
}

std::size_t MemoryCurlDownloader::on_write(char* data, std::size_t size, std::size_t count,
                                           void* self) {
    auto* downloader = static_cast<MemoryCurlDownloader*>(static_cast<CurlDownloader*>(self));
    const std::size_t bytes = size * count;
    if (downloader->m_bytesReceived == 0) {
        downloader->reserve_announced_length();
    }
    // Beyond that the vector grows geometrically, so appending chunk by chunk stays linear.
    downloader->m_buffer->insert(downloader->m_buffer->end(), data, data + bytes);
    downloader->m_bytesReceived += bytes;
    return bytes;
}

void MemoryCurlDownloader::reserve_announced_length() {
    curl_off_t length = -1;
    if (curl_easy_getinfo(m_handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length <= 0) {
        return;
    }
    // The announced length is the server's word only: trust it up to a limit.
    const auto wanted =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(length), kMaximumReserve);
    m_buffer->reserve(m_buffer->size() + static_cast<std::size_t>(wanted));
}

bool MemoryCurlDownloader::should_abort() {
    return service_cancel_flag().is_set() && time_without_data() >= kStallBeforeCancel;
}

}  // namespace MapsService
