#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "service/content/item_fetcher.h"
#include "service/content/package_figures.h"
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
// Whether files of this content type are archives to unpack.
bool is_archive_type(const std::wstring& contentType);

// Archives fetched ahead of a download, into a work folder of their own and
// shown to nobody: begun during the wipe before an update, those still coming
// when it ends go on, and the download that follows takes them over in flight
// (ItemFetcher::take_over) instead of asking again on an idle link. A cancel
// or a drive lost ends them for good; dropped, they stop, and the archives
// fetched whole go to the keep.
class FetchesAhead : private FetchObserver {
public:
    // Throws DiskErrorException when the work folder cannot be made, and what
    // the fetcher throws.
    FetchesAhead(PhoneDrive& drive, std::vector<URLInfo> items, const KeptArchives& kept);
    ~FetchesAhead() override;
    FetchesAhead(const FetchesAhead&) = delete;
    FetchesAhead& operator=(const FetchesAhead&) = delete;

    ItemFetcher& fetcher() { return *m_fetcher; }

private:
    void fetch_started(const URLInfo&, std::uint64_t) override {}
    void fetch_progress(const URLInfo&, std::uint64_t, std::uint64_t) override {}
    bool may_fetch() override;

    PhoneDrive& m_drive;
    std::atomic<bool> m_ended{false};  // by a cancel or a drive lost
    const std::vector<URLInfo> m_items;
    const KeptArchives m_kept;
    std::wstring m_folder;
    std::optional<ItemFetcher> m_fetcher;
};

// Moves chosen catalog items from the map server onto one drive: each is
// downloaded into a temporary folder, unpacked when it is an archive, and its
// files placed in the folder its type dictates. The next items download on a
// thread of its own, a few at once (ItemFetcher), while the current one is
// unpacked and copied; the archives on the PC at a time are bounded by bytes
// (ItemFetcher::kBytesAhead). On a drive of this computer's own disks archives unpack straight onto
// the drive; a phone gets every file through a local copy, as its connectivity library copies only
// local files. Reports MSG_DOWNLOAD_PROGRESS and MSG_UNZIP_PROGRESS. Package messages carry the
// totals (bytes1: bytes to download, bytes2: bytes to write); item messages carry the item's bytes
// and percentage and the package's bytes and percentage. Each item's messages keep their order
// (download started and progress, unpack started, progress and finished, download finished); those
// of the items downloaded ahead come in between.
class DownloadPackage : public Downloader,
                        public ExtractionSink,
                        public PlacingSink,
                        private FetchObserver {
public:
    // The cluster of a large card: what the count of a phone's free room
    // between readings takes each file at, a phone telling no allocation unit.
    static constexpr std::uint64_t kCountedUnit = 128 * 1024;

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
    // Runs `work` (a wipe of the drive, say), which calls `begin` once it is
    // under way, while the package's first archives, up to kBytesAhead of
    // those with an MD5, are fetched from then on (FetchesAhead): the link
    // works while the drive does. Once the work succeeded, the drive carries
    // the fetches on to the download that follows, which takes over those
    // still coming; otherwise they stop. Sends no message and notes no
    // failure: the work's result.
    [[nodiscard]] Result fetch_ahead_during(
        const std::function<Result(const std::function<void()>& begin)>& work);

    [[nodiscard]] Result on_file_extracted(const std::wstring& entryName,
                                           const std::wstring& extractedFile) override;
    [[nodiscard]] Result target_of(const std::wstring& entryName, std::uint64_t size,
                                   std::string& nativeFile) override;
    void on_unzip_progress(std::uint64_t bytesWritten) override;

private:
    // The download thread's side (FetchObserver).
    void fetch_started(const URLInfo& item, std::uint64_t packageBytes) override;
    void fetch_progress(const URLInfo& item, std::uint64_t itemBytes,
                        std::uint64_t packageBytes) override;
    bool may_fetch() override;

    // The loop over the items, as they arrive.
    [[nodiscard]] Result download_items();
    // Unpacks or copies a fetched item onto the drive; a file damaged on the
    // way is fetched once more.
    [[nodiscard]] Result place_item(ItemFetcher& fetcher, std::size_t index, FetchedItem& fetched);
    [[nodiscard]] Result place_file(const URLInfo& item, const std::wstring& localFile);
    [[nodiscard]] Result unpack_archive(const URLInfo& item, const std::wstring& archive);
    // 14 when the drive tells its free room and the archive's files, each in
    // whole allocation units, do not fit in it. A phone is asked again only
    // when what it told last, less what was placed since, is too little.
    [[nodiscard]] Result check_item_room(const URLInfo& item, const std::wstring& archive);
    // Takes room from the count of a phone's free room; none left ends the count.
    void count_room_taken(std::uint64_t counted);
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
    // The same, asked once per folder and package: a folder known from then
    // on, or listed in its parent, may have gone since, and a copy into it
    // that fails makes it again once.
    [[nodiscard]] Result make_folder(const std::wstring& folder);
    // Takes the folders the drive lists in the parent as known, once per parent.
    void learn_folders_in(const std::wstring& parent);
    // The drive folder a file of the current item goes to under the copy
    // rules of its type; empty when the drive keeps what it has.
    std::wstring destination(const std::wstring& relativePath, std::uint64_t newSize);
    // The drive folder files of the current item go to; empty when none.
    std::wstring target_folder(DownloadItemType type, const std::wstring& relativePath) const;

    PhoneDrive& m_drive;
    FileSystem& m_fileSystem;
    FileSystemWin* m_localDrive;  // the file system when it is this computer's own, else null
    std::wstring m_tempFolder;
    std::wstring m_unzipFolder;
    KeptArchives m_kept;                    // shared by this user's updates
    std::vector<std::wstring> m_askedUrls;  // of every item asked for, those placed before too
    std::vector<URLInfo> m_items;
    std::vector<std::int32_t> m_wanted;
    UpdateRecord* m_record = nullptr;  // the unfinished update this package resumes
    // Drive folders this package found or made: thousands of files go into a
    // few folders, and each look on the phone costs a round trip.
    std::set<std::wstring> m_knownFolders;
    // Folders whose subfolders were asked for, listed or not: one listing
    // answers for the hundreds of tile folders below a few.
    std::set<std::wstring> m_listedFolders;
    const URLInfo* m_current = nullptr;  // the item being placed
    // The Downloader's counters hold the bytes to download and downloaded so far.
    std::uint64_t m_totalWrite = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_itemWriteStart = 0;  // m_written when the current item began unpacking
    // A phone's free room at its last reading, less the room counted for what
    // was placed since; none while not known. Each reading is a round trip to
    // the phone, and an update places hundreds of items.
    std::optional<std::uint64_t> m_roomLeft;

    // What the item messages of each type showed of the package.
    PackageFigures m_downloadFigures{&OnDownloadProgress};
    PackageFigures m_unzipFigures{&OnUnzipProgress};
};

}  // namespace MapsService
