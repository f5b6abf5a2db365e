#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "service/content/package_figures.h"
#include "service/core/background_job.h"
#include "service/core/message_queue.h"
#include "service/core/result_codes.h"
#include "service/protocol/downloader.h"
#include "service/protocol/server_record.h"
#include "service/zip/extract.h"

namespace MapsService {

class FileSystem;
class FileSystemWin;
class PhoneDrive;
struct UpdateRecord;

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
// files placed in the folder its type dictates. The next item downloads on a
// thread of its own while the current one is unpacked and copied, so at most
// two archives are on the PC at a time. On a drive of this computer's own
// disks archives unpack straight onto the drive; a phone gets every file
// through a local copy, as its connectivity library copies only local files.
// Reports MSG_DOWNLOAD_PROGRESS and MSG_UNZIP_PROGRESS. Package messages carry
// the totals (bytes1: bytes to download, bytes2: bytes to write); item
// messages carry the item's bytes and percentage and the package's bytes and
// percentage. Each item's messages keep their order (download started and
// progress, unpack started, progress and finished, download finished); those
// of the item downloaded ahead come in between.
class DownloadPackage : public Downloader, public ExtractionSink, public PlacingSink {
public:
    // Throws DiskErrorException when the temporary folder cannot be made; the
    // folder goes with the package.
    explicit DownloadPackage(PhoneDrive& drive);
    ~DownloadPackage() override;
    DownloadPackage(const DownloadPackage&) = delete;
    DownloadPackage& operator=(const DownloadPackage&) = delete;

    // Resumes the drive's unfinished update: items the record notes as placed
    // are left out, and each item placed from here on is noted in the record
    // on the drive. Call before adding items; the record must outlive the package.
    void resume(UpdateRecord& record);
    // An item the resumed record notes as placed is asked for, not fetched.
    void add_item(const URLInfo& item);
    const std::vector<URLInfo>& items() const { return m_items; }
    // Every item asked for, those already placed among them.
    const std::vector<std::int32_t>& wanted_items() const { return m_wanted; }
    std::uint64_t total_bytes_to_write() const { return m_totalWrite; }
    std::uint64_t bytes_written() const { return m_written; }
    const std::wstring& temp_folder() const { return m_tempFolder; }

    [[nodiscard]] Result download() override;
    // Called on the download thread, for the item it fetches.
    void progress(std::uint64_t currentBytes) override;
    bool may_continue() override;

    [[nodiscard]] Result on_file_extracted(const std::wstring& entryName,
                                           const std::wstring& extractedFile) override;
    [[nodiscard]] Result target_of(const std::wstring& entryName, std::uint64_t size,
                                   std::string& nativeFile) override;
    void on_unzip_progress(std::uint64_t bytesWritten) override;

private:
    // What fetching an item left for placing it.
    struct Fetched {
        Result result = kResultOk;
        std::wstring localFile;      // the file on the PC; removed by whoever ends with it
        std::uint64_t base = 0;      // the package's bytes downloaded before the item
        std::uint64_t received = 0;  // bytes of the last fetch
        int fetches = 0;             // a file that arrives damaged is fetched once more
    };

    static Fetched fresh_fetch(std::uint64_t base);
    // The loop over the items, one download ahead.
    [[nodiscard]] Result download_items();
    // Starts fetching the item on the download thread; a job that fetched
    // before fetches again.
    void start_fetch(BackgroundJob& fetcher, std::size_t index, Fetched job);
    // Waits for the fetch and hands its outcome over to this thread.
    Fetched collect_fetch(BackgroundJob& fetcher);
    // The download thread's part: fetches the item (again when it has been
    // fetched before) and checks it against the catalog's MD5.
    [[nodiscard]] Result fetch_item(const URLInfo& item, Fetched& fetched);
    // Unpacks or copies a fetched item onto the drive; a file damaged on the
    // way is fetched once more, after the download ahead.
    [[nodiscard]] Result place_item(BackgroundJob& fetcher, std::size_t index, Fetched& fetched,
                                    std::optional<Fetched>& ahead);
    [[nodiscard]] Result place_file(const URLInfo& item, const std::wstring& localFile);
    [[nodiscard]] Result unpack_archive(const URLInfo& item, const std::wstring& archive);
    // 14 when the drive tells its free room and the archive's files, each in
    // whole allocation units, do not fit in it.
    [[nodiscard]] Result check_item_room(const URLInfo& item, const std::wstring& archive);
    [[nodiscard]] Result unpack(const std::wstring& archive, std::uint64_t& bytesWritten);
    [[nodiscard]] Result copy_plain_file(const URLInfo& item, const std::wstring& localFile);
    [[nodiscard]] Result copy_file(const std::wstring& relativePath, const std::wstring& localFile);
    [[nodiscard]] Result copy_into(const std::wstring& folder, const std::wstring& localFile);
    // Whether the drive's disk cache folder is still there. A local volume
    // unmounted meanwhile leaves its empty mount point, a folder of this
    // computer's own disk, where nothing may be made or written.
    bool drive_present();
    // The folder on the drive, made when it is missing and the drive is
    // present; 10 when it cannot be.
    [[nodiscard]] Result create_folder(const std::wstring& folder);
    // The same, asked once per folder and package.
    [[nodiscard]] Result make_folder(const std::wstring& folder);
    // The drive folder a file of the current item goes to under the copy
    // rules of its type; empty when the drive keeps what it has.
    std::wstring destination(const std::wstring& relativePath, std::uint64_t newSize);
    // The drive folder files of the current item go to; empty when none.
    std::wstring target_folder(DownloadItemType type, const std::wstring& relativePath) const;
    // Where the download of the item with this index goes: two folders in
    // turn, as two items may have files of one name.
    std::wstring fetch_folder(std::size_t index) const;

    PhoneDrive& m_drive;
    FileSystem& m_fileSystem;
    FileSystemWin* m_localDrive;  // the file system when it is this computer's own, else null
    std::wstring m_tempFolder;
    std::wstring m_unzipFolder;
    std::vector<URLInfo> m_items;
    std::vector<std::int32_t> m_wanted;
    UpdateRecord* m_record = nullptr;  // the unfinished update this package resumes
    // Drive folders this package found or made: thousands of files go into a
    // few folders, and each look on the phone costs a round trip.
    std::set<std::wstring> m_knownFolders;
    const URLInfo* m_current = nullptr;  // the item being placed
    // The Downloader's counters hold the bytes to download and downloaded so far.
    std::uint64_t m_totalWrite = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_itemWriteStart = 0;  // m_written when the current item began unpacking

    // The download thread's own while a fetch runs; this thread sets them up
    // before the fetch starts and reads them after it is collected.
    const URLInfo* m_fetching = nullptr;
    std::wstring m_fetchFolder;
    std::uint64_t m_fetchBase = 0;      // package bytes downloaded before the item
    std::uint64_t m_fetchReported = 0;  // most download progress shown for the item
    Fetched m_fetched;
    // Set when the current item failed: the download ahead is not wanted.
    std::atomic<bool> m_stopFetch{false};
    // What the item messages of each type showed of the package.
    PackageFigures m_downloadFigures{&OnDownloadProgress};
    PackageFigures m_unzipFigures{&OnUnzipProgress};
};

}  // namespace MapsService
