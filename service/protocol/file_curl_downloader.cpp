#include "service/protocol/file_curl_downloader.h"

#include <charconv>
#include <cstdint>

#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/downloader.h"

namespace MapsService {

namespace {

// The first byte a 206 answer carries ("Content-Range: bytes A-B/SIZE"); -1 when unknown.
std::int64_t content_range_start_of(const char* value) {
    const std::string text = value;
    const std::string unit = "bytes ";
    if (text.compare(0, unit.size(), unit) != 0) {
        return -1;
    }
    std::int64_t start = 0;
    const char* first = text.c_str() + unit.size();
    const char* last = text.c_str() + text.size();
    const auto [end, error] = std::from_chars(first, last, start);
    return error == std::errc() && end != first && end < last && *end == '-' ? start : -1;
}

}  // namespace

std::uint64_t content_range_start(CURL* handle) {
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK ||
        header == nullptr) {
        return kNoRange;
    }
    const std::int64_t start = content_range_start_of(header->value);
    return start < 0 ? kNoRange : static_cast<std::uint64_t>(start);
}

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
    const Result opened = open(targetFolder, expectedContentType);
    return opened == kResultOk ? close(perform()) : opened;
}

Result FileCurlDownloader::open(const std::wstring& targetFolder,
                                const std::wstring& expectedContentType) {
    TraceInfo(L"start download file from %s. Save in %s", m_url.c_str(), targetFolder.c_str());
    m_expectedType = expectedContentType;
    m_targetPath = target_file_path(targetFolder, m_url);
    m_file.open(m_targetPath, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_file.is_open()) {
        return kResultDiskError;
    }
    m_bytesReceived = 0;
    m_lastReport = 0;
    m_resumeFrom = 0;
    m_attemptAnswered = false;
    m_restartNext = false;
    m_aborted = false;
    m_writeFailed = false;
    m_digest.restart();
    if (m_handle != nullptr) {
        curl_easy_setopt(m_handle, CURLOPT_RANGE, nullptr);
    }
    return kResultOk;
}

Result FileCurlDownloader::close(CURLcode code) {
    m_file.close();
    // A write lost on the way to the disk must not pass for a complete file.
    if (m_writeFailed || m_file.fail()) {
        TraceError("FileCurlDownloader: writing %s failed", m_targetPath.c_str());
        return kResultDiskError;
    }
    if (m_aborted || cancelled()) {
        return kResultCancelled;
    }
    if (code != CURLE_OK || callback_failed() || http_status() >= 500) {
        return kResultServerError;
    }
    if (m_target != nullptr) {
        m_target->progress(m_bytesReceived);
    }
    return check_content_type(m_expectedType);
}

std::size_t FileCurlDownloader::write(const char* data, std::size_t bytes) {
    if (!m_attemptAnswered) {
        m_attemptAnswered = true;
        if (!answer_fits_file()) {
            return 0;
        }
    }
    m_bytesReceived += bytes;
    // After a retry that started the file again the count climbs back to what
    // was reported before; nothing is reported on the way.
    if (m_bytesReceived >= m_lastReport + kProgressGranularity) {
        m_lastReport = m_bytesReceived;
        if (m_target != nullptr) {
            m_target->progress(m_bytesReceived);
        }
    }
    m_file.write(data, static_cast<std::streamsize>(bytes));
    if (!m_file) {
        m_writeFailed = true;
        return 0;
    }
    m_digest.update(data, bytes);
    return may_go_on() ? bytes : 0;
}

bool FileCurlDownloader::answer_fits_file() {
    const long status = http_status();
    if (status >= 500) {
        return false;  // an error page is not the file; the attempt is repeated
    }
    if (m_resumeFrom == 0) {
        return true;
    }
    if (status == 206 && content_range_start(m_handle) == m_resumeFrom) {
        TraceInfo("continuing %s from byte %llu", m_targetPath.c_str(),
                  static_cast<unsigned long long>(m_resumeFrom));
        return true;
    }
    if (status == 200) {
        start_file_again();
        return !m_writeFailed;
    }
    // A refused range (416) or one we did not ask for: the next attempt takes the whole file.
    m_restartNext = true;
    set_retry_cause("the server did not continue the file");
    return false;
}

void FileCurlDownloader::start_file_again() {
    TraceInfo("starting %s again from its first byte", m_targetPath.c_str());
    m_file.close();
    m_file.open(m_targetPath, std::ios::binary | std::ios::out | std::ios::trunc);
    m_writeFailed = !m_file.is_open();
    m_digest.restart();
    m_bytesReceived = 0;
}

void FileCurlDownloader::prepare_retry() {
    m_attemptAnswered = false;
    if (m_restartNext || m_bytesReceived == 0) {
        m_restartNext = false;
        if (m_bytesReceived > 0) {
            start_file_again();
        }
        m_resumeFrom = 0;
        curl_easy_setopt(m_handle, CURLOPT_RANGE, nullptr);
        return;
    }
    m_resumeFrom = m_bytesReceived;
    const std::string range = std::to_string(m_resumeFrom) + "-";
    curl_easy_setopt(m_handle, CURLOPT_RANGE, range.c_str());
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
