#include "service/content/download_package.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "service/content/content_text.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/content/update_record.h"
#include "service/core/exceptions.h"
#include "service/core/failure_cause.h"
#include "service/core/message_queue.h"
#include "service/core/process_info.h"
#include "service/core/room.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/file_system_win.h"
#include "service/devices/local_disk.h"
#include "service/devices/path_helpers.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/file_curl_downloader.h"

namespace MapsService {

namespace {

// The longest span between two notes of placed items while archives keep coming.
constexpr auto kNoteInterval = std::chrono::seconds(1);

// The numbers of a work folder's name "PID-START-N" (or "PID-N", as older
// versions named them); false for any other name.
bool parse_work_folder(const std::string& name, std::vector<std::uint64_t>& numbers) {
    numbers.clear();
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t dash = std::min(rest.find('-'), rest.size());
        std::uint64_t number = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, number);
        if (error != std::errc() || end != rest.data() + dash) {
            return false;
        }
        numbers.push_back(number);
        rest.remove_prefix(std::min(dash + 1, rest.size()));
    }
    return numbers.size() == 2 || numbers.size() == 3;
}

// Removes the work folders of processes that are gone: an update killed
// midway leaves its archives there, and a temporary folder kept in memory
// would hold them until reboot.
void remove_abandoned_work_folders(const std::filesystem::path& folder, const KeptArchives& kept) {
    std::error_code error;
    std::vector<std::uint64_t> numbers;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!parse_work_folder(entry.path().filename().string(), numbers)) {
            continue;
        }
        const std::uint64_t started = process_start_time(static_cast<std::int32_t>(numbers[0]));
        const bool gone = numbers.size() == 3 ? started != numbers[1] : started == 0;
        if (gone) {
            TraceInfo("removing %s, left by an update that did not end",
                      entry.path().string().c_str());
            kept.adopt(entry.path());
            std::error_code ignored;
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }
}

// Where archives of runs cut short wait for the next one; empty when this
// user has no temporary folder.
std::filesystem::path kept_folder() {
    std::string temp;
    if (user_temp_folder(temp) != kResultOk) {
        return {};
    }
    return std::filesystem::path(temp) / "download_temp" / "kept";
}

// One folder per package below "download_temp": another process of ours (a
// second tool, a test run) must not find our work files, nor we its. The
// process's start time tells ours from those of a process that is gone.
Result make_work_folder(std::wstring& folder) {
    static std::atomic<std::uint32_t> counter{0};
    const std::int32_t self = ::getpid();
    const std::wstring name = L"download_temp/" + std::to_wstring(self) + L"-" +
                              std::to_wstring(process_start_time(self)) + L"-" +
                              std::to_wstring(++counter);
    return create_temp_directory(name, folder);
}

// How long fetches ahead that a download cannot take over are waited for
// before it begins its own: while they receive nothing, and at most. A
// server may hold an answer for good; 16 MiB take 0.8 s at 20 MB/s.
constexpr std::chrono::milliseconds kQuietFetchesEnd{500};
constexpr std::chrono::milliseconds kMostFetchesEnd{2000};

}  // namespace

DownloadItemType download_item_type(const std::wstring& type) {
    static const std::pair<const wchar_t*, DownloadItemType> kTypes[] = {
        {L"category", DownloadItemType::Category},     {L"region", DownloadItemType::Region},
        {L"voice", DownloadItemType::Voice},           {L"guide", DownloadItemType::Guide},
        {L"multimedia", DownloadItemType::Multimedia}, {L"cityindex", DownloadItemType::CityIndex},
        {L"maptiles", DownloadItemType::MapTiles},
    };
    const std::wstring lower = to_lower(type);
    for (const auto& [text, value] : kTypes) {
        if (lower == text) {
            return value;
        }
    }
    return DownloadItemType::Unknown;
}

bool is_archive_type(const std::wstring& contentType) {
    return contentType == L"application/zip";
}

std::wstring expected_content_type(const std::wstring& url) {
    const std::wstring extension = lower_extension(url);
    if (extension == L"cdt") {
        return L"image/x-coreldrawtemplate";
    }
    if (extension == L"xml") {
        return L"application/xml";
    }
    return L"application/zip";
}

FetchesAhead::FetchesAhead(PhoneDrive& drive, std::vector<URLInfo> items, const KeptArchives& kept)
    : m_drive(drive), m_items(std::move(items)), m_kept(kept) {
    if (make_work_folder(m_folder) != kResultOk) {
        throw DiskErrorException();
    }
    try {
        FetchObserver& observer = *this;
        m_fetcher.emplace(m_items, m_folder, m_kept, observer, 0);
    } catch (...) {
        (void)delete_tree(m_folder);
        throw;
    }
}

FetchesAhead::~FetchesAhead() {
    m_fetcher.reset();
    if (delete_tree(m_folder) != kResultOk) {
        TraceWarning(L"temporary folder %s not removed", m_folder.c_str());
    }
}

bool FetchesAhead::may_fetch() {
    // For good: the next call may clear the cancel, and nobody asked for more.
    if (!m_ended && m_drive.vet(kResultOk) != kResultOk) {
        m_ended = true;
    }
    return !m_ended;
}

DownloadPackage::DownloadPackage(PhoneDrive& drive)
    : m_drive(drive),
      m_fileSystem(drive.file_system()),
      m_localDrive(dynamic_cast<FileSystemWin*>(&m_fileSystem)),
      m_kept(kept_folder()) {
    TraceInfo(L"DownloadPackage constructor: %s", m_drive.name().c_str());
    const Result made = make_work_folder(m_tempFolder);
    remove_abandoned_work_folders(std::filesystem::path(to_narrow(m_tempFolder)).parent_path(),
                                  m_kept);
    m_kept.prune();
    if (made != kResultOk) {
        throw DiskErrorException();
    }
    m_unzipFolder = join_path(m_tempFolder, L"unzip");
}

DownloadPackage::~DownloadPackage() {
    TraceInfo(L"DownloadPackage destructor: %s", m_drive.name().c_str());
    if (delete_tree(m_tempFolder) != kResultOk) {
        TraceWarning(L"temporary folder %s not removed", m_tempFolder.c_str());
    }
    m_kept.prune();
}

void DownloadPackage::resume(UpdateRecord& record) {
    m_record = &record;
}

void DownloadPackage::add_item(const URLInfo& item) {
    m_wanted.push_back(item.id);
    m_askedUrls.push_back(item.url);
    if (m_record != nullptr && m_record->is_placed(item.id)) {
        TraceInfo(L"%s is on the drive already", item.url.c_str());
        return;
    }
    m_items.push_back(item);
    m_totalBytes += item.byteSize;
    m_totalWrite += item.contentSize;
}

void DownloadPackage::fetch_started(const URLInfo& item, std::uint64_t packageBytes) {
    m_downloadFigures.post(ITEM_STARTED, kResultOk, item.id, 0, 0.0, packageBytes, m_totalBytes);
    TraceInfo(L"current download:%s file-type:%s content-type:%s", item.url.c_str(),
              item.type.c_str(), expected_content_type(item.url).c_str());
}

void DownloadPackage::fetch_progress(const URLInfo& item, std::uint64_t itemBytes,
                                     std::uint64_t packageBytes) {
    m_downloadFigures.post(ITEM_PROGRESS, kResultOk, item.id, itemBytes,
                           percent_of(itemBytes, item.byteSize), packageBytes, m_totalBytes);
}

bool DownloadPackage::may_fetch() {
    return m_drive.usable();
}

void DownloadPackage::on_unzip_progress(std::uint64_t bytesWritten) {
    if (m_current == nullptr) {
        return;
    }
    const std::uint64_t written = m_itemWriteStart + bytesWritten;
    m_unzipFigures.post(ITEM_PROGRESS, kResultOk, m_current->id, bytesWritten,
                        percent_of(bytesWritten, m_current->contentSize), written, m_totalWrite);
}

std::wstring DownloadPackage::target_folder(DownloadItemType type,
                                            const std::wstring& relativePath) const {
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    const std::wstring root = m_fileSystem.get_root_directory().path();
    const std::wstring diskcache = join_path(root, settings->diskcache());
    std::wstring folder;
    switch (type) {
        case DownloadItemType::Region:
            folder = lower_extension(relativePath) == L"ttf" ? join_path(root, settings->ttffiles())
                                                             : diskcache;
            break;
        case DownloadItemType::Voice:
        case DownloadItemType::Guide:
            folder = join_path(root, settings->voicefiles());
            break;
        case DownloadItemType::Multimedia:
            folder = join_path(join_path(root, settings->maps_root()), L"MM");
            break;
        case DownloadItemType::CityIndex:
            folder = join_path(diskcache, L"ClientIndex");
            break;
        default:
            return {};
    }
    const std::wstring subfolder = directory_part(relativePath);
    return subfolder.empty() ? folder : join_path(folder, subfolder);
}

std::wstring DownloadPackage::destination(const std::wstring& relativePath, std::uint64_t newSize) {
    const DownloadItemType type = download_item_type(m_current->type);
    const std::wstring folder = target_folder(type, relativePath);
    if (folder.empty()) {
        TraceWarning(L"unknown download item type: %s", m_current->type.c_str());
        return {};
    }
    const std::wstring target = join_path(folder, file_part(relativePath));
    // Only a regular file has a size to read: one question answers both, and on
    // a phone each costs a round trip for each of thousands of files.
    std::uint64_t oldSize = 0;
    const bool present = m_fileSystem.get_file_size(target, oldSize) == kResultOk;
    if (type == DownloadItemType::Region && present && oldSize >= newSize) {
        TraceDebug(L"%s already on the drive", target.c_str());
        return {};
    }
    if ((type == DownloadItemType::Voice || type == DownloadItemType::Guide) && present &&
        oldSize == newSize) {
        TraceDebug(L"%s already on the drive", target.c_str());
        return {};
    }
    if (type == DownloadItemType::CityIndex) {
        m_drive.maps_bucket().OnNewCityIndexFile(m_current->url, target);
    }
    return folder;
}

Result DownloadPackage::copy_file(const std::wstring& relativePath, const std::wstring& localFile) {
    std::uint64_t newSize = 0;
    if (platform_get_file_size(localFile, newSize) != kResultOk) {
        return kResultDiskError;
    }
    const std::wstring folder = destination(relativePath, newSize);
    return folder.empty() ? kResultOk : copy_into(folder, localFile);
}

bool DownloadPackage::drive_present() {
    const std::wstring diskcache = diskcache_folder(m_drive);
    if (m_drive.map_settings() != nullptr && m_fileSystem.directory_exists(diskcache)) {
        return true;
    }
    TraceError(L"disk cache %s of drive %s is gone: nothing more is written", diskcache.c_str(),
               m_drive.name().c_str());
    return false;
}

Result DownloadPackage::create_folder(const std::wstring& folder) {
    if (m_fileSystem.directory_exists(folder)) {
        return kResultOk;
    }
    // Made only below a drive that is still there, never in its stead.
    return drive_present() && m_fileSystem.create_directory(folder) == kResultOk
               ? kResultOk
               : kResultPhoneFileSystem;
}

void DownloadPackage::learn_folders_in(const std::wstring& parent) {
    if (parent.empty() || !m_listedFolders.insert(parent).second) {
        return;
    }
    std::vector<DirectoryEntry> entries;
    if (m_fileSystem.fetch_sub_directories(parent, entries) != kResultOk) {
        return;  // asked folder by folder
    }
    for (const DirectoryEntry& entry : entries) {
        m_knownFolders.insert(entry.path());
    }
}

Result DownloadPackage::make_folder(const std::wstring& folder) {
    if (m_knownFolders.count(folder) == 0) {
        learn_folders_in(directory_part(folder));
    }
    if (m_knownFolders.count(folder) != 0) {
        return kResultOk;
    }
    const Result result = create_folder(folder);
    if (result == kResultOk) {
        m_knownFolders.insert(folder);
    }
    return result;
}

Result DownloadPackage::copy_into(const std::wstring& folder, const std::wstring& localFile) {
    if (m_localDrive != nullptr && !drive_present()) {
        return kResultPhoneFileSystem;
    }
    const bool known = m_knownFolders.count(folder) != 0;
    Result result = make_folder(folder);
    if (result != kResultOk) {
        return result;
    }
    result = m_fileSystem.copy_to_device(localFile, folder);
    if (result == kResultOk) {
        return result;
    }
    m_knownFolders.erase(folder);
    // The folder may have gone behind our back: looked at and made again once.
    return known ? copy_into(folder, localFile) : result;
}

Result DownloadPackage::on_file_extracted(const std::wstring& entryName,
                                          const std::wstring& extractedFile) {
    const Result result = copy_file(entryName, extractedFile);
    // The copy on the drive is what counts; the work file only takes room.
    remove_work_file(extractedFile, L"work file");
    return result;
}

Result DownloadPackage::target_of(const std::wstring& entryName, std::uint64_t size,
                                  std::string& nativeFile) {
    nativeFile.clear();
    const std::wstring folder = destination(entryName, size);
    if (folder.empty()) {
        return kResultOk;
    }
    // A look on a local disk costs next to nothing: asked every time, a folder
    // removed behind our back is made again, and a volume unmounted meanwhile
    // is seen before an entry lands in its mount point.
    const Result result = create_folder(folder);
    if (result != kResultOk) {
        return result;
    }
    if (!drive_present()) {
        return kResultPhoneFileSystem;
    }
    return m_localDrive->native_file_path(join_path(folder, file_part(entryName)), nativeFile);
}

Result DownloadPackage::unpack(const std::wstring& archive, std::uint64_t& bytesWritten) {
    bytesWritten = 0;
    if (m_localDrive == nullptr) {
        if (platform_create_directory(m_unzipFolder) != kResultOk) {
            TraceError(L"error in platform_create_directory(): %s", m_unzipFolder.c_str());
            return kResultDiskError;
        }
        // The sink removes every file once copied; the folders stay for the next
        // archive, whose tiles mostly go into the same ones, and go at the end.
        return m_fileSystem.unzip_archive(archive, m_unzipFolder, *this, bytesWritten);
    }
    try {
        return extract_in_place(archive, *this, bytesWritten);
    } catch (const std::exception& e) {
        TraceError("exception while unpacking onto the drive: %s", e.what());
        return kResultDiskError;
    }
}

void DownloadPackage::count_room_taken(std::uint64_t counted) {
    if (m_roomLeft) {
        m_roomLeft = counted <= *m_roomLeft ? std::optional(*m_roomLeft - counted) : std::nullopt;
    }
}

Result DownloadPackage::check_item_room(const URLInfo& item, const std::wstring& archive) {
    const std::uint64_t unit = m_fileSystem.allocation_unit();
    const std::uint64_t needed = uncompressed_size(archive, unit);
    // The count takes each file at more than it may take, so it only ever
    // runs short, and the phone is asked then. A local drive answers at once,
    // every time.
    const bool counts = m_localDrive == nullptr;
    const std::uint64_t counted =
        counts ? uncompressed_size(archive, std::max(unit, kCountedUnit)) : 0;
    if (!m_roomLeft || counted > *m_roomLeft) {
        m_roomLeft.reset();
        const std::int64_t free = m_fileSystem.free_space_bytes();
        if (free < 0) {
            return kResultOk;  // unknown: a copy that does not fit fails on its own
        }
        if (needed > static_cast<std::uint64_t>(free)) {
            TraceError(
                L"no room for item %d on drive %s: %llu bytes free, %llu needed in units of %llu",
                item.id, m_drive.name().c_str(), static_cast<unsigned long long>(free),
                static_cast<unsigned long long>(needed), static_cast<unsigned long long>(unit));
            return kResultPhoneFull;
        }
        if (counts) {
            m_roomLeft = static_cast<std::uint64_t>(free);
        }
    }
    count_room_taken(counted);
    return kResultOk;
}

Result DownloadPackage::unpack_archive(const URLInfo& item, const std::wstring& archive) {
    if (item.contentSize == 0) {
        m_totalWrite += uncompressed_size(archive);
    }
    m_unzipFigures.post(ITEM_STARTED, kResultOk, item.id, 0, 0.0, m_written, m_totalWrite);
    m_itemWriteStart = m_written;
    std::uint64_t bytesWritten = 0;
    // The archive tells each file's size: a drive without the room ends the
    // update as full before the item is half placed.
    Result result = check_item_room(item, archive);
    if (result == kResultOk) {
        result = unpack(archive, bytesWritten);
    }
    m_written += bytesWritten;
    m_unzipFigures.post(ITEM_FINISHED, result, item.id, bytesWritten,
                        percent_of(bytesWritten, item.contentSize), m_written, m_totalWrite);
    return result;
}

Result DownloadPackage::copy_plain_file(const URLInfo& item, const std::wstring& localFile) {
    if (item.contentSize == 0) {
        m_totalWrite += item.byteSize;
    }
    m_unzipFigures.post(ITEM_STARTED, kResultOk, item.id, 0, 0.0, m_written, m_totalWrite);
    const Result result = copy_file(file_part(item.url), localFile);
    std::uint64_t size = 0;
    if (platform_get_file_size(localFile, size) == kResultOk && result == kResultOk) {
        m_written += size;
        count_room_taken(allocated_bytes(size, kCountedUnit));
    }
    m_unzipFigures.post(ITEM_FINISHED, result, item.id, size, 100.0, m_written, m_totalWrite);
    return result;
}

Result DownloadPackage::place_file(const URLInfo& item, const std::wstring& localFile) {
    return is_archive_type(expected_content_type(item.url)) ? unpack_archive(item, localFile)
                                                            : copy_plain_file(item, localFile);
}

Result DownloadPackage::place_item(ItemFetcher& fetcher, std::size_t index, FetchedItem& fetched) {
    const URLInfo& item = m_items[index];
    const std::uint64_t writtenBefore = m_written;
    const std::uint64_t totalWriteBefore = m_totalWrite;
    Result result = place_file(item, fetched.localFile);
    if (result == kResultCorruptArchive && fetched.fetches < 2) {
        // Damaged on the way (CRC): fetched once more before the item fails.
        TraceWarning(L"%s arrived damaged: fetching it once more", item.url.c_str());
        m_written = writtenBefore;
        m_totalWrite = totalWriteBefore;
        // Gone before the second fetch: it would take the room twice, and a
        // killed run would keep it for the next.
        remove_work_file(fetched.localFile, L"damaged file");
        fetched = fetcher.fetch_again(index);
        result = fetched.result;
        if (result == kResultOk) {
            result = place_file(item, fetched.localFile);
        }
    }
    remove_work_file(fetched.localFile, L"downloaded file");
    return result;
}

Result DownloadPackage::download_items() {
    // The fetches of the wipe before go on for this package when its items
    // begin with theirs; otherwise it waits for them a little and takes what
    // they fetched whole from the keep.
    std::unique_ptr<FetchesAhead> ahead = m_drive.take_fetches_ahead();
    std::optional<ItemFetcher> own;
    ItemFetcher* fetcher = nullptr;
    if (ahead && ahead->fetcher().take_over(m_items, *this, m_bytesDone)) {
        fetcher = &ahead->fetcher();
    } else {
        if (ahead) {
            TraceInfo("the fetches ahead are not taken over: the items differ or one failed");
            ahead->fetcher().settle(kQuietFetchesEnd, kMostFetchesEnd);
            ahead.reset();
        }
        FetchObserver& observer = *this;
        fetcher = &own.emplace(m_items, m_tempFolder, m_kept, observer, m_bytesDone);
    }
    Result result = kResultOk;
    std::size_t unnoted = 0;  // items placed that the record does not note yet
    auto noted = std::chrono::steady_clock::now();
    for (std::size_t index = 0; index < m_items.size() && result == kResultOk; ++index) {
        FetchedItem fetched = fetcher->take(index);
        if (fetched.result != kResultOk) {
            // Reported only now, after the item before it: in item order, and
            // with its own cause, not that of a fetch ahead that failed since.
            result = fetched.result;
            if (!fetched.cause.empty()) {
                note_failure_cause(fetched.cause);
            }
            break;
        }
        // The items fetched ahead came whole; a cancel or a drive gone
        // meanwhile stops the update before it places more of them.
        result = m_drive.vet(kResultOk);
        if (result != kResultOk) {
            remove_work_file(fetched.localFile, L"downloaded file");
            break;
        }
        m_current = &m_items[index];
        result = place_item(*fetcher, index, fetched);
        fetcher->release(index);
        const URLInfo& item = m_items[index];
        if (result == kResultOk && m_record != nullptr) {
            m_record->placed.push_back(item.id);
            ++unnoted;
            // Each note flushes the drive, which costs a card more than
            // placing a small item: while the next archive is already here,
            // notes come at most kNoteInterval apart; before the update waits
            // for the network, and at its end, always.
            const auto now = std::chrono::steady_clock::now();
            if (index + 1 == m_items.size() || !fetcher->fetched(index + 1) ||
                now - noted >= kNoteInterval) {
                result = write_update_record(m_drive, *m_record);
                unnoted = 0;
                noted = now;
            }
        }
        // Posted after the next items' downloads began: it carries the
        // package's bytes that they already showed.
        m_downloadFigures.post(ITEM_FINISHED, result, item.id, fetched.received,
                               percent_of(fetched.received, item.byteSize),
                               fetcher->package_bytes(), m_totalBytes);
    }
    // What was placed before a failure is noted: Try Again goes on from there.
    if (unnoted > 0 && write_update_record(m_drive, *m_record) != kResultOk) {
        TraceWarning(L"the last %d items placed on drive %s are not noted",
                     static_cast<int>(unnoted), m_drive.name().c_str());
    }
    // After a failure the items downloaded ahead are not wanted.
    fetcher->stop();
    m_bytesDone = fetcher->package_bytes();
    return result;
}

Result DownloadPackage::fetch_ahead_during(
    const std::function<Result(const std::function<void()>& begin)>& work) {
    // A wipe begun anew: what an earlier one fetched waits in the keep.
    m_drive.drop_fetches_ahead();
    // Only archives the keep can vouch for, and no more bytes of them than a
    // download holds ahead: an archive that cannot be kept would come twice.
    std::vector<URLInfo> ahead;
    std::uint64_t aheadBytes = 0;
    for (const URLInfo& item : m_items) {
        if (!is_archive_type(expected_content_type(item.url)) || item.checksum.empty() ||
            item.byteSize == 0 || item.byteSize > ItemFetcher::kBytesAhead - aheadBytes) {
            break;
        }
        aheadBytes += item.byteSize;
        ahead.push_back(item);
    }
    std::unique_ptr<FetchesAhead> fetches;
    const auto begin = [&] {
        if (fetches || !m_kept.usable() || ahead.empty()) {
            return;
        }
        try {
            fetches = std::make_unique<FetchesAhead>(m_drive, std::move(ahead), m_kept);
        } catch (const std::exception& error) {
            TraceWarning(L"nothing is fetched ahead: %s", to_wide(error.what()).c_str());
        }
    };
    const Result result = work(begin);
    if (fetches && result == kResultOk) {
        m_drive.carry_fetches_ahead(std::move(fetches));
    }
    return result;
}

Result DownloadPackage::download() {
    TraceInfo("MapsService::DownloadPackage::download");
    if (m_drive.map_settings() == nullptr) {
        return kResultFailed;
    }
    TraceInfo(L"start download: %s", m_drive.name().c_str());
    OnDownloadProgress(PACKAGE_STARTED, kResultOk, 0, m_totalBytes, 0.0, m_totalWrite, 0.0);
    m_downloadFigures.restart();
    m_unzipFigures.restart();
    m_roomLeft.reset();  // the drive may have changed since a run before
    const Result result = download_items();
    if (delete_tree(m_unzipFolder) != kResultOk) {
        TraceWarning(L"unpack folder %s not emptied", m_unzipFolder.c_str());
    }
    m_current = nullptr;
    OnDownloadProgress(PACKAGE_FINISHED, result, 0, m_bytesDone,
                       percent_of(m_bytesDone, m_totalBytes), m_written,
                       percent_of(m_written, m_totalWrite));
    // A phone pulled a moment ago may not be known as gone yet: a copy that
    // failed on it must not read as a full phone.
    const bool gone = !m_drive.usable() ||
                      (result != kResultCancelled && result != kResultOk && !drive_present());
    const Result answer = result != kResultOk && gone ? kResultPhoneFileSystem : result;
    if (answer == kResultOk) {
        for (const std::wstring& url : m_askedUrls) {
            m_kept.drop(url);
        }
    }
    TraceInfo(L"finished download: %s ret=%d", m_drive.name().c_str(), answer);
    TraceInfo("total downloaded: %llu  total written to target: %llu",
              static_cast<unsigned long long>(m_bytesDone),
              static_cast<unsigned long long>(m_written));
    return answer;
}

}  // namespace MapsService
