#include "service/devices/file_system.h"

#include <utility>

#include "service/core/exceptions.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

DirectoryEntry::DirectoryEntry(std::wstring path, FileSystem* owner, bool computeSize)
    : m_path(std::move(path)), m_owner(owner) {
    if (computeSize && m_owner != nullptr) {
        std::uint64_t size = 0;
        if (m_owner->get_directory_size(m_path, size) == kResultOk) {
            m_size = static_cast<std::int64_t>(size);
        }
    }
}

Result DirectoryEntry::fetch_sub_directories(std::vector<DirectoryEntry>& entries) const {
    return m_owner->fetch_sub_directories(m_path, entries);
}

Result DirectoryEntry::fetch_filenames(std::vector<std::wstring>& paths) const {
    return m_owner->fetch_filenames(m_path, paths);
}

FileSystem::~FileSystem() = default;

Result FileSystem::fetch_files(const std::wstring& path,
                               std::vector<std::pair<std::wstring, std::uint64_t>>& files) {
    files.clear();
    std::vector<std::wstring> names;
    const Result result = fetch_filenames(path, names);
    for (std::wstring& name : names) {
        std::uint64_t size = 0;
        if (get_file_size(name, size) != kResultOk) {
            size = 0;
        }
        files.emplace_back(std::move(name), size);
    }
    return result;
}

Result FileSystem::get_directory_size(const std::wstring& path, std::uint64_t& size) {
    size = 0;
    std::vector<DirectoryEntry> folders;
    if (fetch_sub_directories(path, folders) != kResultOk) {
        return kResultFailed;
    }
    for (const DirectoryEntry& folder : folders) {
        std::uint64_t folderSize = 0;
        const Result result = get_directory_size(folder.path(), folderSize);
        size += folderSize;
        if (result != kResultOk) {
            return kResultFailed;
        }
    }
    std::vector<std::wstring> files;
    if (fetch_filenames(path, files) != kResultOk) {
        return kResultFailed;
    }
    for (const std::wstring& file : files) {
        std::uint64_t fileSize = 0;
        if (get_file_size(file, fileSize) != kResultOk) {
            return kResultFailed;
        }
        size += fileSize;
    }
    return kResultOk;
}

std::uint64_t FileSystem::allocation_unit() {
    return 0;
}

Result FileSystem::get_allocated_size(const std::wstring& path, std::uint64_t& size) {
    const std::uint64_t unit = allocation_unit();
    size = allocated_bytes(1, unit);
    std::vector<std::pair<std::wstring, std::uint64_t>> files;
    std::vector<DirectoryEntry> folders;
    if (fetch_files(path, files) != kResultOk ||
        fetch_sub_directories(path, folders) != kResultOk) {
        return kResultFailed;
    }
    for (const auto& file : files) {
        size += allocated_bytes(file.second, unit);
    }
    for (const DirectoryEntry& folder : folders) {
        std::uint64_t folderSize = 0;
        const Result result = get_allocated_size(folder.path(), folderSize);
        size += folderSize;
        if (result != kResultOk) {
            return kResultFailed;
        }
    }
    return kResultOk;
}

Result FileSystem::move_file(const std::wstring& source, const std::wstring& targetFolder) {
    if (!file_exists(source)) {
        return kResultFailed;
    }
    const Result copied = copy_to_device(source, targetFolder);
    if (copied != kResultOk) {
        return copied;
    }
    return delete_file(source);
}

Result FileSystem::move_folder(const std::wstring& source, const std::wstring& targetFolder) {
    Result result = create_directory(targetFolder);
    if (result != kResultOk) {
        return result;
    }
    std::vector<std::wstring> files;
    result = fetch_filenames(source, files);
    for (auto file = files.begin(); result == kResultOk && file != files.end(); ++file) {
        result = move_file(*file, targetFolder);
    }
    if (result != kResultOk) {
        return result;
    }
    std::vector<DirectoryEntry> folders;
    result = fetch_sub_directories(source, folders);
    for (auto folder = folders.begin(); result == kResultOk && folder != folders.end(); ++folder) {
        result = move_folder(folder->path(), join_path(targetFolder, file_part(folder->path())));
        if (result == kResultOk) {
            result = delete_directory(folder->path());
        }
    }
    return result;
}

void FileSystem::take_connection(const FileSystem& returning) {
    set_connection_kind(returning.connection_kind());
}

Result FileSystem::flush(const std::wstring& /*path*/) {
    return kResultOk;
}

Result FileSystem::flush_drive() {
    return kResultOk;
}

void FileSystem::reserved_operation() {}

Result FileSystem::get_installed_applications(std::vector<std::wstring>& /*names*/) {
    return kResultFailed;
}

}  // namespace MapsService
