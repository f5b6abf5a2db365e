#pragma once

#include <cstdint>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// What one file transfer reports to and asks of, on the thread that runs it.
class TransferTarget {
public:
    virtual ~TransferTarget() = default;
    // Bytes of the file fetched so far.
    virtual void progress(std::uint64_t currentBytes) = 0;
    // Polled by the file downloader; false ends the transfer (the target went away).
    virtual bool may_continue() = 0;
};

// A download job: fetches one or more items and reports progress as messages.
class Downloader {
public:
    virtual ~Downloader() = default;
    [[nodiscard]] virtual Result download() = 0;
    virtual std::uint64_t bytes_done() const { return m_bytesDone; }
    virtual std::uint64_t total_bytes() const { return m_totalBytes; }

protected:
    std::uint64_t m_totalBytes = 0;  // expected size of everything to fetch, 0 when unknown
    std::uint64_t m_bytesDone = 0;   // bytes of the items already finished
};

// Fetches one installer file into a folder, with download progress messages.
class DownloaderFile : public Downloader, public TransferTarget {
public:
    DownloaderFile(std::wstring url, std::wstring targetFolder, std::uint64_t totalBytes);

    [[nodiscard]] Result download() override;
    void progress(std::uint64_t currentBytes) override;
    bool may_continue() override { return true; }

private:
    std::wstring m_url;
    std::wstring m_targetFolder;
};

}  // namespace MapsService
