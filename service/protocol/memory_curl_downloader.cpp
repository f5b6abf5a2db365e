#include "service/protocol/memory_curl_downloader.h"

#include <algorithm>
#include <string>

#include "service/core/sync.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

// A cancelled memory download ends once nothing has arrived for this long.
constexpr auto kStallBeforeCancel = std::chrono::milliseconds(300);

}  // namespace

Result MemoryCurlDownloader::Download(std::vector<std::uint8_t>& buffer,
                                      const std::wstring& expectedContentType) {
    ScopeTrace scope("MapsService::MemoryCurlDownloader::Download");
    TraceInfo(L"start memory download from %s.", m_url.c_str());
    m_bytesReceived = 0;
    m_buffer = &buffer;
    m_bufferStart = buffer.size();
    m_tooLarge = false;
    const CURLcode code = perform();
    m_buffer = nullptr;
    if (cancelled()) {
        buffer.resize(m_bufferStart);
        return kResultCancelled;
    }
    if (m_tooLarge) {
        TraceError(L"memory download from %s stopped at %llu bytes", m_url.c_str(),
                   static_cast<unsigned long long>(kMemoryDownloadLimit));
        note_server_failure("sent more than " + std::to_string(kMemoryDownloadLimit) + " bytes");
        buffer.resize(m_bufferStart);
        return kResultServerError;
    }
    if (code != CURLE_OK || callback_failed() || http_status() >= 500) {
        return kResultServerError;
    }
    return check_content_type(expectedContentType);
}

std::size_t MemoryCurlDownloader::write(const char* data, std::size_t bytes) {
    // An error page of a server in trouble is not the body: the attempt is repeated.
    if (http_status() >= 500) {
        return 0;
    }
    if (m_bytesReceived + bytes > kMemoryDownloadLimit) {
        m_tooLarge = true;
        return 0;
    }
    if (m_bytesReceived == 0) {
        reserve_announced_length();
    }
    // Beyond that the vector grows geometrically, so appending chunk by chunk stays linear.
    m_buffer->insert(m_buffer->end(), data, data + bytes);
    m_bytesReceived += bytes;
    return bytes;
}

void MemoryCurlDownloader::prepare_retry() {
    // A memory download always starts again from its first byte.
    m_buffer->resize(m_bufferStart);
    m_bytesReceived = 0;
}

void MemoryCurlDownloader::reserve_announced_length() {
    curl_off_t length = -1;
    if (curl_easy_getinfo(m_handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length <= 0) {
        return;
    }
    // The announced length is the server's word only: trust it up to the limit.
    const auto wanted =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(length), kMemoryDownloadLimit);
    m_buffer->reserve(m_buffer->size() + static_cast<std::size_t>(wanted));
}

bool MemoryCurlDownloader::should_abort() {
    return cancel_requested() && time_without_data() >= kStallBeforeCancel;
}

}  // namespace MapsService
