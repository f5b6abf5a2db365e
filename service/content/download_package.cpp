#include "service/content/download_package.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "service/content/content_text.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/core/exceptions.h"
#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/local_disk.h"
#include "service/devices/path_helpers.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/file_curl_downloader.h"

namespace MapsService {

namespace {

double percent_of(std::uint64_t done, std::uint64_t total) {
    if (total == 0) {
        return 100.0;
    }
    return std::min(100.0, static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

// Removes a work file of this computer; false when it stays.
bool remove_local_file(const std::wstring& path) {
    std::string native = to_narrow(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    std::error_code error;
    std::filesystem::remove(native, error);
    return !error;
}

bool is_archive(const std::wstring& contentType) {
    return contentType == L"application/zip";
}

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

DownloadPackage::DownloadPackage(PhoneDrive& drive)
    : m_drive(drive), m_fileSystem(drive.file_system()) {
    TraceInfo(L"DownloadPackage constructor: %s", m_drive.name().c_str());
    // One folder per package below "download_temp": another process of ours (a
    // second tool, a test run) must not find our work files, nor we its.
    static std::atomic<std::uint32_t> counter{0};
    const std::wstring name =
        L"download_temp/" + std::to_wstring(::getpid()) + L"-" + std::to_wstring(++counter);
    if (create_temp_directory(name, m_tempFolder) != kResultOk) {
        throw DiskErrorException();
    }
    m_unzipFolder = join_path(m_tempFolder, L"unzip");
}

DownloadPackage::~DownloadPackage() {
    TraceInfo(L"DownloadPackage destructor: %s", m_drive.name().c_str());
    if (delete_tree(m_tempFolder) != kResultOk) {
        TraceWarning(L"temporary folder %s not removed", m_tempFolder.c_str());
    }
}

void DownloadPackage::add_item(const URLInfo& item) {
    m_items.push_back(item);
    m_totalBytes += item.byteSize;
    m_totalWrite += item.contentSize;
}

bool DownloadPackage::may_continue() {
    return m_drive.usable();
}

void DownloadPackage::progress(std::uint64_t currentBytes) {
    if (m_current == nullptr) {
        return;
    }
    // A second fetch of a damaged file counts from 0 again; what was shown stays.
    currentBytes = std::max(currentBytes, m_itemReported);
    m_itemReported = currentBytes;
    OnDownloadProgress(ITEM_PROGRESS, kResultOk, m_current->id, currentBytes,
                       percent_of(currentBytes, m_current->byteSize), m_bytesDone + currentBytes,
                       percent_of(m_bytesDone + currentBytes, m_totalBytes));
}

void DownloadPackage::on_unzip_progress(std::uint64_t bytesWritten) {
    if (m_current == nullptr) {
        return;
    }
    const std::uint64_t written = m_itemWriteStart + bytesWritten;
    OnUnzipProgress(ITEM_PROGRESS, kResultOk, m_current->id, bytesWritten,
                    percent_of(bytesWritten, m_current->contentSize), written,
                    percent_of(written, m_totalWrite));
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

Result DownloadPackage::copy_file(const std::wstring& relativePath, const std::wstring& localFile) {
    const DownloadItemType type = download_item_type(m_current->type);
    const std::wstring folder = target_folder(type, relativePath);
    if (folder.empty()) {
        TraceWarning(L"unknown download item type: %s", m_current->type.c_str());
        return kResultOk;
    }
    const std::wstring target = join_path(folder, file_part(relativePath));
    std::uint64_t newSize = 0;
    if (platform_get_file_size(localFile, newSize) != kResultOk) {
        return kResultDiskError;
    }
    std::uint64_t oldSize = 0;
    const bool present = m_fileSystem.file_exists(target) &&
                         m_fileSystem.get_file_size(target, oldSize) == kResultOk;
    if (type == DownloadItemType::Region && present && oldSize >= newSize) {
        TraceDebug(L"%s already on the drive", target.c_str());
        return kResultOk;
    }
    if ((type == DownloadItemType::Voice || type == DownloadItemType::Guide) && present &&
        oldSize == newSize) {
        TraceDebug(L"%s already on the drive", target.c_str());
        return kResultOk;
    }
    if (type == DownloadItemType::CityIndex) {
        m_drive.maps_bucket().OnNewCityIndexFile(m_current->url, target);
    }
    return copy_into(folder, localFile);
}

Result DownloadPackage::copy_into(const std::wstring& folder, const std::wstring& localFile) {
    const bool known = m_knownFolders.count(folder) != 0;
    if (!known) {
        if (!m_fileSystem.directory_exists(folder) &&
            m_fileSystem.create_directory(folder) != kResultOk) {
            return kResultPhoneFileSystem;
        }
        m_knownFolders.insert(folder);
    }
    const Result result = m_fileSystem.copy_to_device(localFile, folder);
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
    if (!remove_local_file(extractedFile)) {
        TraceWarning(L"work file %s not removed", extractedFile.c_str());
    }
    return result;
}

Result DownloadPackage::unpack_archive(const URLInfo& item, const std::wstring& archive) {
    if (item.contentSize == 0) {
        m_totalWrite += uncompressed_size(archive);
    }
    OnUnzipProgress(ITEM_STARTED, kResultOk, item.id, 0, 0.0, m_written,
                    percent_of(m_written, m_totalWrite));
    if (platform_create_directory(m_unzipFolder) != kResultOk) {
        TraceError(L"error in platform_create_directory(): %s", m_unzipFolder.c_str());
        return kResultDiskError;
    }
    m_itemWriteStart = m_written;
    std::uint64_t bytesWritten = 0;
    const Result result = m_fileSystem.unzip_archive(archive, m_unzipFolder, *this, bytesWritten);
    m_written += bytesWritten;
    if (delete_tree(m_unzipFolder) != kResultOk) {
        TraceWarning(L"unpack folder %s not emptied", m_unzipFolder.c_str());
    }
    OnUnzipProgress(ITEM_FINISHED, result, item.id, bytesWritten,
                    percent_of(bytesWritten, item.contentSize), m_written,
                    percent_of(m_written, m_totalWrite));
    return result;
}

Result DownloadPackage::fetch_and_unpack(const URLInfo& item, const std::wstring& contentType,
                                         const std::wstring& localFile, std::uint64_t& received,
                                         bool& fetched) {
    auto downloader = create_file_downloader(item.url, this);
    Result result = downloader->Download(m_tempFolder, contentType);
    received = downloader->bytes_received();
    // Checked before a byte of the item reaches the drive.
    if (result == kResultOk && !item.checksum.empty() &&
        to_narrow(to_lower(item.checksum)) != downloader->checksum()) {
        TraceError(L"MD5 of %s does not match the catalog's %s", item.url.c_str(),
                   item.checksum.c_str());
        result = kResultCorruptArchive;
    }
    fetched = result == kResultOk;
    if (!fetched) {
        if (!remove_local_file(localFile)) {
            TraceWarning(L"partial download %s not removed", localFile.c_str());
        }
        return result;
    }
    return is_archive(contentType) ? unpack_archive(item, localFile) : kResultOk;
}

Result DownloadPackage::download_item(const URLInfo& item) {
    OnDownloadProgress(ITEM_STARTED, kResultOk, item.id, 0, 0.0, m_bytesDone,
                       percent_of(m_bytesDone, m_totalBytes));
    m_itemReported = 0;
    const std::wstring contentType = expected_content_type(item.url);
    TraceInfo(L"current download:%s file-type:%s content-type:%s", item.url.c_str(),
              item.type.c_str(), contentType.c_str());
    const std::wstring localFile = to_wide(target_file_path(m_tempFolder, item.url));
    const std::uint64_t writtenBefore = m_written;
    const std::uint64_t totalWriteBefore = m_totalWrite;
    std::uint64_t received = 0;
    bool fetched = false;
    Result result = fetch_and_unpack(item, contentType, localFile, received, fetched);
    if (result == kResultCorruptArchive) {
        // Damaged on the way (checksum or CRC): fetched once more before the item fails.
        TraceWarning(L"%s arrived damaged: fetching it once more", item.url.c_str());
        m_written = writtenBefore;
        m_totalWrite = totalWriteBefore;
        result = fetch_and_unpack(item, contentType, localFile, received, fetched);
    }
    m_bytesDone += received;
    if (!fetched) {
        return result;
    }
    if (!is_archive(contentType)) {
        if (item.contentSize == 0) {
            m_totalWrite += item.byteSize;
        }
        OnUnzipProgress(ITEM_STARTED, kResultOk, item.id, 0, 0.0, m_written,
                        percent_of(m_written, m_totalWrite));
        result = copy_file(file_part(item.url), localFile);
        std::uint64_t size = 0;
        if (platform_get_file_size(localFile, size) == kResultOk && result == kResultOk) {
            m_written += size;
        }
        OnUnzipProgress(ITEM_FINISHED, result, item.id, size, 100.0, m_written,
                        percent_of(m_written, m_totalWrite));
    }
    if (!remove_local_file(localFile)) {
        TraceWarning(L"downloaded file %s not removed", localFile.c_str());
    }
    OnDownloadProgress(ITEM_FINISHED, result, item.id, received,
                       percent_of(received, item.byteSize), m_bytesDone,
                       percent_of(m_bytesDone, m_totalBytes));
    return result;
}

Result DownloadPackage::download() {
    TraceInfo("MapsService::DownloadPackage::download");
    if (m_drive.map_settings() == nullptr) {
        return kResultFailed;
    }
    TraceInfo(L"start download: %s", m_drive.name().c_str());
    OnDownloadProgress(PACKAGE_STARTED, kResultOk, 0, m_totalBytes, 0.0, m_totalWrite, 0.0);
    Result result = kResultOk;
    for (const URLInfo& item : m_items) {
        m_current = &item;
        result = download_item(item);
        if (result != kResultOk) {
            break;
        }
    }
    m_current = nullptr;
    OnDownloadProgress(PACKAGE_FINISHED, result, 0, m_bytesDone,
                       percent_of(m_bytesDone, m_totalBytes), m_written,
                       percent_of(m_written, m_totalWrite));
    if (result != kResultOk && !m_drive.usable()) {
        result = kResultPhoneFileSystem;
    }
    TraceInfo(L"finished download: %s ret=%d", m_drive.name().c_str(), result);
    TraceInfo("total downloaded: %llu  total written to target: %llu",
              static_cast<unsigned long long>(m_bytesDone),
              static_cast<unsigned long long>(m_written));
    return result;
}

}  // namespace MapsService
