#include "service/devices/linkdeck_file_system.h"

#include <chrono>
#include <cstring>
#include <exception>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_session.h"
#include "service/devices/path_helpers.h"
#include "service/devices/phone_handle.h"
#include "service/zip/extract.h"

namespace MapsService {

namespace {

// How long a free-space reading stands while nothing of ours changed the
// drive: thousands of copies ask for it, each answer costs a round trip.
constexpr std::int64_t kFreeSpaceLifetime =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::seconds(1))
        .count();

struct MediaKind {
    std::uint32_t bit;
    std::int32_t kind;
};

// First matching bit wins.
constexpr MediaKind kMediaKinds[] = {
    {DLNK_MEDIA_USB, 0},
    {DLNK_MEDIA_BLUETOOTH, 1},
    {DLNK_MEDIA_SERIAL, 2},
    {DLNK_MEDIA_IRDA, 3},
};
constexpr std::int32_t kUnknownConnection = 255;

constexpr std::uint32_t kCopyFromComputer = DLNK_COPY_FROM_PC | DLNK_COPY_OVERWRITE;  // 0x14

std::wstring drive_text(const std::wstring& prefix, const std::wstring& driveName) {
    return prefix + driveName + L".";
}

std::uint64_t link_of(std::uint32_t media, std::uint32_t deviceId) {
    return (std::uint64_t{media} << 32) | deviceId;
}

long long as_long(std::int64_t value) {
    return static_cast<long long>(value);
}

// Collects the entries of one listing; 1 when it cannot begin or breaks off.
template <typename Record, typename Next, typename Take>
Result list_folder(DLNKFSHANDLE fs, std::uint32_t option, const std::wstring& path, Next next,
                   Take take) {
    DLNKFINDHANDLE find = nullptr;
    if (Devlinx::DLNKFindBegin(fs, option, path.c_str(), &find) != DLNK_OK) {
        return kResultFailed;
    }
    const FindSearch search(find);
    DLNKRESULT status = DLNK_OK;
    for (;;) {
        Record* raw = nullptr;
        status = next(find, &raw);
        if (status != DLNK_OK) {
            break;
        }
        const std::unique_ptr<Record, LibraryRecordDeleter> record(raw);
        take(*record);
    }
    return status == DLNK_E_NO_MORE_ENTRIES ? kResultOk : kResultFailed;
}

// The library's description of a file; empty when it has none.
FileInfoRecord file_info(DLNKFSHANDLE fs, const std::wstring& path) {
    DLNK_FILE_INFO* raw = nullptr;
    if (Devlinx::DLNKGetFileInfo(fs, file_part(path).c_str(), directory_part(path).c_str(), &raw) !=
        DLNK_OK) {
        return nullptr;
    }
    return FileInfoRecord(raw);
}

}  // namespace

FileSystemConstructionException::FileSystemConstructionException(std::wstring text)
    : Exception(to_narrow(text), kResultPhoneFileSystem), m_text(std::move(text)) {}

std::int32_t LinkdeckFileSystem::connection_kind_of(std::uint32_t media) {
    for (const MediaKind& entry : kMediaKinds) {
        if ((media & entry.bit) != 0) {
            return entry.kind;
        }
    }
    return kUnknownConnection;
}

LinkdeckFileSystem::LinkdeckFileSystem(std::wstring serialNumber, std::uint32_t media,
                                       std::uint32_t deviceId, const std::wstring& driveName)
    : FileSystem(connection_kind_of(media)),
      m_serialNumber(std::move(serialNumber)),
      m_link(link_of(media, deviceId)) {
    TraceDebug(L"creating LinkdeckFileSystem SN:%s media:0x%X drive:%s", m_serialNumber.c_str(),
               media, driveName.c_str());
    changed();
    const PhoneHandle handle = open_handle();
    if (!handle.is_open()) {
        throw FileSystemConstructionException(
            drive_text(L"DLNKOpenFS failed on LinkdeckFileSystem, drive ", driveName));
    }
    FolderContent content;
    if (content.read(handle.get(), DLNK_GET_FOLDER_INFO, driveName) != DLNK_OK) {
        throw FileSystemConstructionException(
            drive_text(L"DLNKGetFolderInfo failed on LinkdeckFileSystem, drive ", driveName));
    }
    const DLNK_FOLDER_CONTENT& info = content.get();
    TraceDebug(
        L"DLNKGetFolderInfo() for %s reports: bytes_total:%lld, bytes_free:%lld, "
        L"bytes_used:%lld",
        driveName.c_str(), as_long(info.total_bytes), as_long(info.free_bytes),
        as_long(info.used_bytes));
    m_rootPath = info.path != nullptr ? info.path : driveName;
    m_memoryType = info.memory_type != nullptr ? info.memory_type : L"";
    m_label = info.label != nullptr ? info.label : L"";
    m_totalBytes = info.total_bytes;
    m_freeBytes = info.free_bytes;
    m_freeSpaceStale = false;
    m_freeSpaceRead = std::chrono::steady_clock::now().time_since_epoch().count();
}

PhoneHandle LinkdeckFileSystem::open_handle() const {
    const std::uint64_t link = m_link.load();
    return PhoneHandle(m_serialNumber, static_cast<std::uint32_t>(link >> 32),
                       static_cast<std::uint32_t>(link));
}

void LinkdeckFileSystem::take_connection(const FileSystem& returning) {
    FileSystem::take_connection(returning);
    if (const auto* phone = dynamic_cast<const LinkdeckFileSystem*>(&returning)) {
        m_link = phone->m_link.load();
        changed();
    }
}

// The frame of every operation: its own handle, closed on every way out, and
// no exception leaving. `noHandle` answers when the phone cannot be reached,
// `onException` when the operation throws.
template <typename T, typename Body>
T LinkdeckFileSystem::run_operation(const char* name, const std::wstring& path, T noHandle,
                                    T onException, Body&& body) {
    try {
        const PhoneHandle handle = open_handle();
        if (!handle.is_open()) {
            TraceError("MapsService::LinkdeckFileSystem::%s: unable to get file system handle",
                       name);
            return noHandle;
        }
        return body(handle.get());
    } catch (const std::exception& e) {
        TraceError(L"exception in LinkdeckFileSystem::%s(%s): %s", to_wide(name).c_str(),
                   path.c_str(), to_wide(e.what()).c_str());
    } catch (...) {
        TraceError(L"exception in LinkdeckFileSystem::%s(%s)", to_wide(name).c_str(), path.c_str());
    }
    return onException;
}

DirectoryEntry LinkdeckFileSystem::get_root_directory() {
    return DirectoryEntry(with_trailing_backslash(m_rootPath), this);
}

Result LinkdeckFileSystem::fetch_sub_directories(const std::wstring& path,
                                                 std::vector<DirectoryEntry>& entries) {
    entries.clear();
    TraceDebug(L"LinkdeckFileSystem::fetch_sub_directories( %s )", path.c_str());
    return run_operation<Result>(
        "fetch_sub_directories", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            return list_folder<DLNK_FOLDER_INFO>(
                fs, DLNK_FIND_FOLDERS, path, Devlinx::DLNKFindNextFolder,
                [&](const DLNK_FOLDER_INFO& folder) {
                    entries.emplace_back(join_path(path, folder.name), this);
                });
        });
}

Result LinkdeckFileSystem::fetch_filenames(const std::wstring& path,
                                           std::vector<std::wstring>& paths) {
    paths.clear();
    TraceDebug(L"LinkdeckFileSystem::fetch_filenames( %s )", path.c_str());
    return run_operation<Result>(
        "fetch_filenames", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            return list_folder<DLNK_FILE_INFO>(
                fs, DLNK_FIND_FILES, path, Devlinx::DLNKFindNextFile,
                [&](const DLNK_FILE_INFO& file) { paths.push_back(join_path(path, file.name)); });
        });
}

Result LinkdeckFileSystem::fetch_files(const std::wstring& path,
                                       std::vector<std::pair<std::wstring, std::uint64_t>>& files) {
    files.clear();
    TraceDebug(L"LinkdeckFileSystem::fetch_files( %s )", path.c_str());
    return run_operation<Result>(
        "fetch_files", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            return list_folder<DLNK_FILE_INFO>(fs, DLNK_FIND_FILES, path, Devlinx::DLNKFindNextFile,
                                               [&](const DLNK_FILE_INFO& file) {
                                                   files.emplace_back(join_path(path, file.name),
                                                                      file.size);
                                               });
        });
}

Result LinkdeckFileSystem::delete_file(const std::wstring& path) {
    TraceDebug(L"LinkdeckFileSystem::delete_file( %s )", path.c_str());
    return run_operation<Result>(
        "delete_file", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            const DLNKRESULT status =
                Devlinx::DLNKDeleteFile(fs, directory_part(path).c_str(), file_part(path).c_str());
            if (status != DLNK_OK && status != DLNK_E_FILE_NOT_FOUND) {
                return kResultPhoneFileSystem;
            }
            changed();
            return kResultOk;
        });
}

Result LinkdeckFileSystem::delete_directory(const std::wstring& path) {
    TraceDebug(L"LinkdeckFileSystem::delete_directory( %s )", path.c_str());
    return run_operation<Result>(
        "delete_directory", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            const DLNKRESULT status = Devlinx::DLNKDeleteFolder(
                fs, DLNK_DELETE_RECURSIVE, directory_part(path).c_str(), file_part(path).c_str());
            if (status != DLNK_OK && status != DLNK_E_FOLDER_NOT_FOUND) {
                return kResultPhoneFileSystem;
            }
            changed();
            return kResultOk;
        });
}

Result LinkdeckFileSystem::create_directory(const std::wstring& path) {
    TraceDebug(L"LinkdeckFileSystem::create_directory(%s)", path.c_str());
    if (directory_exists(path)) {
        return kResultOk;
    }
    // Parents first, from the top down; the memory's root ends the climb.
    const std::wstring parent = directory_part(path);
    if (!parent.empty() && parent != path) {
        const Result result = create_directory(parent);
        if (result != kResultOk) {
            return result;
        }
    }
    return run_operation<Result>(
        "create_directory", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            const DLNKRESULT status =
                Devlinx::DLNKCreateFolder(fs, parent.c_str(), file_part(path).c_str());
            if (status != DLNK_OK && status != DLNK_E_FOLDER_EXISTS) {
                TraceError(L"LinkdeckFileSystem::create_directory for %s returned with error: 0x%X",
                           path.c_str(), static_cast<unsigned>(status));
                return kResultPhoneFileSystem;
            }
            changed();
            return kResultOk;
        });
}

Result LinkdeckFileSystem::get_file_size(const std::wstring& path, std::uint64_t& size) {
    TraceDebug(L"LinkdeckFileSystem::get_file_size( %s )", path.c_str());
    return run_operation<Result>("get_file_size", path, kResultPhoneFileSystem, kResultFailed,
                                 [&](DLNKFSHANDLE fs) {
                                     const FileInfoRecord info = file_info(fs, path);
                                     if (!info) {
                                         return kResultPhoneFileSystem;
                                     }
                                     size = info->size;  // the library reports 32 bits
                                     return kResultOk;
                                 });
}

Result LinkdeckFileSystem::get_directory_size(const std::wstring& path, std::uint64_t& size) {
    return run_operation<Result>(
        "get_directory_size", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            FolderContent content;
            const DLNKRESULT status = content.read(fs, DLNK_GET_FOLDER_TREE, path);
            size = status == DLNK_OK ? static_cast<std::uint64_t>(content.get().tree_bytes) : 0;
            TraceDebug(L"LinkdeckFileSystem::get_directory_size(%s): size=%lld ret=%d",
                       path.c_str(), static_cast<long long>(size), status);
            return status < 0 ? kResultPhoneFileSystem : kResultOk;
        });
}

Result LinkdeckFileSystem::get_time(const std::wstring& path, FileTimes& times) {
    TraceDebug(L"LinkdeckFileSystem::get_time( %s )", path.c_str());
    return run_operation<Result>("get_time", path, kResultPhoneFileSystem, kResultFailed,
                                 [&](DLNKFSHANDLE fs) {
                                     const FileInfoRecord info = file_info(fs, path);
                                     if (!info) {
                                         return kResultPhoneFileSystem;
                                     }
                                     times = FileTimes{0, 0, info->time};
                                     return kResultOk;
                                 });
}

bool LinkdeckFileSystem::file_exists(const std::wstring& path) {
    std::uint64_t size = 0;
    const bool exists = get_file_size(path, size) == kResultOk;
    TraceDebug(L"LinkdeckFileSystem::file_exists(%s): %s", path.c_str(),
               exists ? L"true" : L"false");
    return exists;
}

bool LinkdeckFileSystem::directory_exists(const std::wstring& path) {
    return run_operation<bool>("directory_exists", path, false, false, [&](DLNKFSHANDLE fs) {
        FolderContent content;
        return content.read(fs, DLNK_GET_FOLDER_INFO, path) == DLNK_OK;
    });
}

Result LinkdeckFileSystem::read_file(const std::wstring& path, std::vector<std::uint8_t>& data) {
    TraceDebug(L"LinkdeckFileSystem::read_file( %s )", path.c_str());
    return run_operation<Result>(
        "read_file", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            const std::wstring name = file_part(path);
            DLNK_FILE_DESC file{const_cast<wchar_t*>(name.c_str()), 0};
            void* block = nullptr;
            if (Devlinx::DLNKReadFile(fs, directory_part(path).c_str(), &file, &block) != DLNK_OK) {
                return kResultPhoneFileSystem;
            }
            const auto release = [](void* memory) { Devlinx::DLNKFreeFileDataMemory(memory); };
            const std::unique_ptr<void, decltype(release)> ownedBlock(block, release);
            const std::unique_ptr<void, decltype(release)> ownedName(file.name, release);
            const auto* bytes = static_cast<const std::uint8_t*>(block);
            data.assign(bytes, bytes + file.length);
            return kResultOk;
        });
}

Result LinkdeckFileSystem::write_file(const std::wstring& path, const void* data,
                                      std::uint32_t length, std::uint32_t /*reserved*/,
                                      bool overwrite) {
    TraceDebug(L"LinkdeckFileSystem::write_file( %s )", path.c_str());
    if (!overwrite && file_exists(path)) {
        return kResultOk;
    }
    return run_operation<Result>(
        "write_file", path, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            void* block = nullptr;
            if (Devlinx::DLNKAllocFileDataMemory(length, &block) != DLNK_OK) {
                throw MemoryException();
            }
            const auto release = [](void* memory) { Devlinx::DLNKFreeFileDataMemory(memory); };
            const std::unique_ptr<void, decltype(release)> ownedBlock(block, release);
            if (length != 0) {
                std::memcpy(block, data, length);
            }
            const std::wstring name = file_part(path);
            const DLNK_FILE_DESC file{const_cast<wchar_t*>(name.c_str()), length};
            const DLNKRESULT status =
                Devlinx::DLNKWriteFile(fs, &file, block, directory_part(path).c_str());
            if (status != DLNK_OK) {
                TraceError(L"DLNKWriteFile (%s) failed (0x%X)", path.c_str(),
                           static_cast<unsigned>(status));
                return kResultPhoneFileSystem;
            }
            changed();
            return kResultOk;
        });
}

Result LinkdeckFileSystem::copy_to_device(const std::wstring& localSource,
                                          const std::wstring& targetFolder) {
    TraceDebug(L"LinkdeckFileSystem::copy_to_device(%s --> %s)", localSource.c_str(),
               targetFolder.c_str());
    return run_operation<Result>(
        "copy_to_device", localSource, kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
            const DLNKRESULT status = Devlinx::DLNKCopyFile(
                fs, kCopyFromComputer, localSource.c_str(), targetFolder.c_str());
            if (status != DLNK_OK) {
                TraceError("%s: DLNKCopyFile() returned with %d",
                           "MapsService::LinkdeckFileSystem::copy_to_device", status);
                return kResultPhoneFull;
            }
            changed();
            return kResultOk;
        });
}

Result LinkdeckFileSystem::move_file(const std::wstring& source, const std::wstring& targetFolder) {
    TraceDebug(L"LinkdeckFileSystem::move_file %s --> %s", source.c_str(), targetFolder.c_str());
    return run_operation<Result>("move_file", source + L" --> " + targetFolder,
                                 kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
                                     return Devlinx::DLNKMoveFile(fs, DLNK_MOVE_REPLACE,
                                                                  source.c_str(),
                                                                  targetFolder.c_str()) == DLNK_OK
                                                ? kResultOk
                                                : kResultPhoneFileSystem;
                                 });
}

Result LinkdeckFileSystem::move_folder(const std::wstring& source,
                                       const std::wstring& targetFolder) {
    TraceDebug(L"LinkdeckFileSystem::move_folder %s --> %s", source.c_str(), targetFolder.c_str());
    return run_operation<Result>("move_folder", source + L" --> " + targetFolder,
                                 kResultPhoneFileSystem, kResultFailed, [&](DLNKFSHANDLE fs) {
                                     return Devlinx::DLNKMoveFolder(fs, DLNK_MOVE_REPLACE,
                                                                    source.c_str(),
                                                                    targetFolder.c_str()) == DLNK_OK
                                                ? kResultOk
                                                : kResultPhoneFileSystem;
                                 });
}

std::int64_t LinkdeckFileSystem::total_space_bytes() {
    TraceDebug(L"LinkdeckFileSystem::total_space_bytes(%s): %lld", m_rootPath.c_str(),
               as_long(m_totalBytes));
    return m_totalBytes;
}

std::int64_t LinkdeckFileSystem::free_space_bytes() {
    TraceDebug(L"LinkdeckFileSystem::free_space_bytes(%s) calculating...", m_rootPath.c_str());
    const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (m_freeSpaceStale || now - m_freeSpaceRead >= kFreeSpaceLifetime) {
        m_freeSpaceRead = now;
        // Without an answer the last known value stands; the frame traces why.
        run_operation<bool>("free_space_bytes", m_rootPath, false, false, [&](DLNKFSHANDLE fs) {
            // Cleared before asking, so a change made meanwhile marks it stale again.
            m_freeSpaceStale = false;
            FolderContent content;
            if (content.read(fs, DLNK_GET_FOLDER_INFO, m_rootPath) != DLNK_OK) {
                m_freeSpaceStale = true;
                return false;
            }
            m_freeBytes = content.get().free_bytes;
            return true;
        });
    }
    const std::int64_t freeBytes = m_freeBytes;
    TraceDebug(L"LinkdeckFileSystem::free_space_bytes(%s) returns %lld", m_rootPath.c_str(),
               as_long(freeBytes));
    return freeBytes;
}

Result LinkdeckFileSystem::unzip_archive(const std::wstring& localArchive,
                                         const std::wstring& workFolder, ExtractionSink& sink,
                                         std::uint64_t& bytesWritten) {
    TraceDebug(L"LinkdeckFileSystem::unzip_archive(%s), workdir:%s", localArchive.c_str(),
               workFolder.c_str());
    ExtractionContext context(sink);
    Result result = kResultDiskError;
    try {
        result = extract(localArchive, workFolder, context);
    } catch (const std::exception& e) {
        TraceError(L"exception in LinkdeckFileSystem::unzip_archive(%s): %s", localArchive.c_str(),
                   to_wide(e.what()).c_str());
    } catch (...) {
        TraceError(L"exception in LinkdeckFileSystem::unzip_archive(%s)", localArchive.c_str());
    }
    bytesWritten = context.bytesWritten;
    return result;
}

namespace {

// The device side's device-manager handle, open between initialize and finalize.
DLNKDMHANDLE g_deviceManager = nullptr;

}  // namespace

Result LinkdeckFileSystem::initialize() {
    TraceDebug("enter LinkdeckFileSystem::initialize( )");
    const Result result = start_connectivity(g_deviceManager);
    TraceDebug("leave LinkdeckFileSystem::initialize( )");
    return result;
}

Result LinkdeckFileSystem::finalize() {
    if (g_deviceManager == nullptr) {
        return kResultOk;  // never started, or the start failed and cleaned up
    }
    const Result result = stop_connectivity(g_deviceManager);
    g_deviceManager = nullptr;
    return result;
}

DLNKDMHANDLE LinkdeckFileSystem::device_manager() {
    return g_deviceManager;
}

}  // namespace MapsService
