#pragma once

#include "service/protocol/curl_downloader.h"

namespace MapsService {

// Fetches a URL into a growing byte buffer. A cancel does not interrupt data
// that keeps flowing, but it does end a transfer that has stalled.
class MemoryCurlDownloader : public CurlDownloader, public MemoryDownloader {
public:
    explicit MemoryCurlDownloader(std::wstring url) : CurlDownloader(std::move(url)) {}

    [[nodiscard]] Result Download(std::vector<std::uint8_t>& buffer,
                                  const std::wstring& expectedContentType) override;

private:
    static std::size_t on_write(char* data, std::size_t size, std::size_t count, void* self);
    bool should_abort() override;
    // Sets room aside for the body when the reply announces its length.
    void reserve_announced_length();

    std::vector<std::uint8_t>* m_buffer = nullptr;  // the caller's, for one Download
};

}  // namespace MapsService
