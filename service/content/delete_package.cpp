#include "service/content/delete_package.h"

#include <algorithm>
#include <utility>

#include "service/content/phone_drive.h"
#include "service/core/message_queue.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"

namespace MapsService {

DeletePackage::DeletePackage(PhoneDrive& drive)
    : m_drive(drive), m_fileSystem(drive.file_system()) {
    TraceInfo(L"DeletePackage constructor: %s", m_drive.name().c_str());
}

DeletePackage::~DeletePackage() {
    TraceInfo(L"DeletePackage destructor: %s", m_drive.name().c_str());
}

Result DeletePackage::add_folder(DeleteKind kind, const std::wstring& path,
                                 std::optional<std::uint64_t> size) {
    std::uint64_t bytes = size.value_or(0);
    if (!size && m_fileSystem.directory_exists(path)) {
        const Result result = m_fileSystem.get_directory_size(path, bytes);
        if (result != kResultOk) {
            return result;
        }
    }
    m_items.push_back({kind, path, bytes});
    return kResultOk;
}

Result DeletePackage::add_file(const std::wstring& path, std::optional<std::uint64_t> size) {
    std::uint64_t bytes = size.value_or(0);
    if (!size && m_fileSystem.file_exists(path)) {
        const Result result = m_fileSystem.get_file_size(path, bytes);
        if (result != kResultOk) {
            return result;
        }
    }
    m_items.push_back({DeleteKind::File, path, bytes});
    return kResultOk;
}

double DeletePackage::percent() const {
    if (m_total == 0) {
        return 100.0;
    }
    return std::min(100.0, static_cast<double>(m_done) * 100.0 / static_cast<double>(m_total));
}

Result DeletePackage::remove_file(const std::wstring& path) {
    std::uint64_t size = 0;
    if (m_fileSystem.get_file_size(path, size) != kResultOk) {
        size = 0;
    }
    return remove_file(path, size);
}

Result DeletePackage::remove_file(const std::wstring& path, std::uint64_t size) {
    Result result = m_drive.vet(kResultOk);
    if (result != kResultOk) {
        return result;
    }
    result = m_fileSystem.delete_file(path);
    if (result != kResultOk) {
        return result;
    }
    if (!m_changedDrive) {
        m_changedDrive = true;
        OnMapsIncomplete(&m_drive);
    }
    m_done += size;
    OnDeleteProgress(ITEM_PROGRESS, kResultOk, m_done, percent());
    if (++m_removed == m_callAfter && m_action) {
        m_action();
    }
    return kResultOk;
}

void DeletePackage::call_after(std::size_t files, std::function<void()> action) {
    m_callAfter = files;
    m_action = std::move(action);
}

Result DeletePackage::remove_files(const std::wstring& path) {
    // The sizes for the progress come with the listing: on a phone each
    // question costs a round trip, and a map folder holds thousands of files.
    std::vector<std::pair<std::wstring, std::uint64_t>> files;
    Result result = m_fileSystem.fetch_files(path, files);
    for (std::size_t i = 0; result == kResultOk && i < files.size(); ++i) {
        result = remove_file(files[i].first, files[i].second);
    }
    return result;
}

Result DeletePackage::remove_folder(const std::wstring& path) {
    Result result = m_drive.vet(kResultOk);
    if (result != kResultOk) {
        return result;
    }
    std::vector<DirectoryEntry> folders;
    result = m_fileSystem.fetch_sub_directories(path, folders);
    for (std::size_t i = 0; result == kResultOk && i < folders.size(); ++i) {
        result = remove_folder(folders[i].path());
    }
    if (result == kResultOk) {
        result = remove_files(path);
    }
    if (result == kResultOk) {
        result = m_drive.vet(m_fileSystem.delete_directory(path));
    }
    return result;
}

Result DeletePackage::clear_folder(const std::wstring& path, bool removeSubfolders) {
    if (!m_fileSystem.directory_exists(path)) {
        return kResultOk;
    }
    std::vector<DirectoryEntry> folders;
    Result result = remove_files(path);
    if (result == kResultOk) {
        result = m_fileSystem.fetch_sub_directories(path, folders);
    }
    for (std::size_t i = 0; result == kResultOk && i < folders.size(); ++i) {
        result =
            removeSubfolders ? remove_folder(folders[i].path()) : remove_files(folders[i].path());
    }
    return result;
}

Result DeletePackage::run(const Item& item) {
    Result result = m_drive.vet(kResultOk);
    if (result != kResultOk) {
        return result;
    }
    switch (item.kind) {
        case DeleteKind::RemoveFolder:
            if (m_fileSystem.directory_exists(item.path)) {
                result = remove_folder(item.path);
            }
            break;
        case DeleteKind::EmptyFolder:
            result = clear_folder(item.path, true);
            break;
        case DeleteKind::TileFolder:
            result = clear_folder(item.path, false);
            break;
        case DeleteKind::File:
            if (m_fileSystem.file_exists(item.path)) {
                result = remove_file(item.path);
            }
            break;
    }
    return m_drive.vet(result);
}

Result DeletePackage::delete_all() {
    TraceInfo("MapsService::DeletePackage::delete_all");
    m_total = 0;
    m_done = 0;
    for (const Item& item : m_items) {
        m_total += item.size;
    }
    OnDeleteProgress(PACKAGE_STARTED, kResultOk, m_total, 0.0);
    // The first failure is the answer: a later item that succeeds must not hide it.
    Result result = kResultOk;
    for (const Item& item : m_items) {
        const Result itemResult = run(item);
        if (itemResult != kResultOk) {
            TraceError(L"error (%d) for delete item %s (type %d)", itemResult, item.path.c_str(),
                       static_cast<int>(item.kind));
            if (result == kResultOk) {
                result = itemResult;
            }
        }
    }
    OnDeleteProgress(PACKAGE_FINISHED, result, m_done, percent());
    return result;
}

}  // namespace MapsService
