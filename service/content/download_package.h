#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/protocol/downloader.h"
#include "service/protocol/server_record.h"
#include "service/zip/extract.h"

namespace MapsService {

class FileSystem;
class PhoneDrive;

// What a catalog item is, by its "Type" (lower-cased).
enum class DownloadItemType : std::int32_t {
    Unknown = 0,
    Category = 1,
    Region = 2,
    Voice = 3,
    Guide = 4,
    Multimedia = 5,
    CityIndex = 6,
    MapTiles = 7,
};

DownloadItemType download_item_type(const std::wstring& type);
// The content type the server sends for a file URL, by its extension.
std::wstring expected_content_type(const std::wstring& url);

// Moves chosen catalog items from the map server onto one drive: each is
// downloaded into a temporary folder, unpacked when it is an archive, and its
// files copied to the folder its type dictates. Reports MSG_DOWNLOAD_PROGRESS
// and MSG_UNZIP_PROGRESS. Package messages carry the totals (bytes1: bytes to
// download, bytes2: bytes to write); item messages carry the item's bytes and
// percentage and the package's bytes and percentage.
class DownloadPackage : public Downloader, public ExtractionSink {
public:
    // Throws DiskErrorException when the temporary folder cannot be made; the
    // folder goes with the package.
    explicit DownloadPackage(PhoneDrive& drive);
    ~DownloadPackage() override;
    DownloadPackage(const DownloadPackage&) = delete;
    DownloadPackage& operator=(const DownloadPackage&) = delete;

    void add_item(const URLInfo& item);
    const std::vector<URLInfo>& items() const { return m_items; }
    std::uint64_t total_bytes_to_write() const { return m_totalWrite; }
    std::uint64_t bytes_written() const { return m_written; }
    const std::wstring& temp_folder() const { return m_tempFolder; }

    [[nodiscard]] Result download() override;
    void progress(std::uint64_t currentBytes) override;
    bool may_continue() override;

    [[nodiscard]] Result on_file_extracted(const std::wstring& entryName,
                                           const std::wstring& extractedFile) override;
    void on_unzip_progress(std::uint64_t bytesWritten) override;

private:
    [[nodiscard]] Result download_item(const URLInfo& item);
    // Fetches the item's file, checks it against the catalog's MD5 and unpacks
    // it when it is an archive; `fetched` tells whether the file arrived whole.
    [[nodiscard]] Result fetch_and_unpack(const URLInfo& item, const std::wstring& contentType,
                                          const std::wstring& localFile, std::uint64_t& received,
                                          bool& fetched);
    [[nodiscard]] Result unpack_archive(const URLInfo& item, const std::wstring& archive);
    [[nodiscard]] Result copy_file(const std::wstring& relativePath, const std::wstring& localFile);
    [[nodiscard]] Result copy_into(const std::wstring& folder, const std::wstring& localFile);
    // The drive folder files of the current item go to; empty when none.
    std::wstring target_folder(DownloadItemType type, const std::wstring& relativePath) const;

    PhoneDrive& m_drive;
    FileSystem& m_fileSystem;
    std::wstring m_tempFolder;
    std::wstring m_unzipFolder;
    std::vector<URLInfo> m_items;
    // Drive folders this package found or made: thousands of files go into a
    // few folders, and each look on the phone costs a round trip.
    std::set<std::wstring> m_knownFolders;
    const URLInfo* m_current = nullptr;
    // The Downloader's counters hold the bytes to download and downloaded so far.
    std::uint64_t m_totalWrite = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_itemWriteStart = 0;  // m_written when the current item began unpacking
    std::uint64_t m_itemReported = 0;    // most download progress shown for the current item
};

}  // namespace MapsService
