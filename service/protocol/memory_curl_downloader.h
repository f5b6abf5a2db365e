#pragma once

#include "service/core/sync.h"
#include "service/protocol/curl_downloader.h"

namespace MapsService {

// Most one memory download may hold: far above any real catalog page, so that a
// server that keeps sending cannot exhaust memory.
inline constexpr std::uint64_t kMemoryDownloadLimit = 64u << 20;

// Fetches a URL into a growing byte buffer. A cancel does not interrupt data
// that keeps flowing, but it does end a transfer that has stalled; only a
// cancel meant for the running service operation counts.
class MemoryCurlDownloader : public CurlDownloader, public MemoryDownloader {
public:
    explicit MemoryCurlDownloader(std::wstring url) : CurlDownloader(std::move(url)) {}

    [[nodiscard]] Result Download(std::vector<std::uint8_t>& buffer,
                                  const std::wstring& expectedContentType) override;

private:
    std::size_t write(const char* data, std::size_t bytes) override;
    bool should_abort() override;
    bool should_abort_pause() override { return cancel_requested(); }
    void prepare_retry() override;
    bool attempt_may_be_repeated() const override { return !m_tooLarge; }
    // Sets room aside for the body when the reply announces its length.
    void reserve_announced_length();

    std::vector<std::uint8_t>* m_buffer = nullptr;  // the caller's, for one Download
    std::size_t m_bufferStart = 0;                  // its size before this download
    bool m_tooLarge = false;
};

}  // namespace MapsService
