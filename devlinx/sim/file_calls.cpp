// Files and folders (FSAPI) of the simulator: each memory is a farm folder.

#include <sys/statvfs.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "devlinx/sim/file_session.h"
#include "devlinx/sim/phone_path.h"
#include "utf8/utf8.h"

namespace {

struct FindEntry {
    std::wstring name;
    std::wstring label;
    std::wstring memory_type;
    std::uint32_t attributes = 0;
    std::uint32_t size = 0;
    std::int64_t time = 0;
};

}  // namespace

struct DLNK_FIND {
    bool files = false;
    std::vector<FindEntry> entries;
    std::size_t next = 0;
};

namespace devlinx::sim {

using atlasync::utf8::to_wide;

namespace {

std::mutex g_moduleMutex;
int g_initCount = 0;
HandleRegistry<DLNK_FIND> g_finds;

std::int64_t modification_time(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_mtime) : 0;
}

bool is_folder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

bool is_file(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(path, error));
}

std::int64_t file_bytes(const fs::path& path) {
    std::error_code error;
    return is_file(path) ? static_cast<std::int64_t>(fs::file_size(path, error)) : 0;
}

std::vector<FindEntry> list_folder(const PhonePath& folder, bool files) {
    std::vector<FindEntry> entries;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder.native, error)) {
        const fs::path& path = item.path();
        if (folder.is_memory_root() && path.filename() == kMemoryIni) {
            continue;
        }
        FindEntry entry;
        entry.name = to_wide(path.filename().string());
        entry.time = modification_time(path);
        if (files && is_file(path)) {
            entry.size = static_cast<std::uint32_t>(file_bytes(path));
            entries.push_back(std::move(entry));
        } else if (!files && is_folder(path)) {
            entry.attributes = DLNK_ATTRIBUTE_FOLDER;
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::vector<FindEntry> list_memories(const PhoneConfig& phone) {
    std::vector<FindEntry> entries;
    for (const MemoryConfig& memory : phone_memories(phone)) {
        entries.push_back(FindEntry{memory.name, memory.label, memory.type,
                                    DLNK_ATTRIBUTE_FOLDER | DLNK_ATTRIBUTE_DRIVE, 0,
                                    modification_time(memory.folder)});
    }
    return entries;
}

// A plain copy that leaves no half-written target behind.
DLNKRESULT copy_contents(const fs::path& source, const fs::path& target) {
    const fs::path partial = target.parent_path() / ("." + target.filename().string() + ".part");
    std::error_code error;
    fs::copy_file(source, partial, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::rename(partial, target, error);
    }
    if (error) {
        fs::remove(partial, error);
        return DLNK_E_ACCESS_DENIED;
    }
    return DLNK_OK;
}

DLNKRESULT resolve_folder(const PhoneConfig& phone, const wchar_t* path, PhonePath& out) {
    const DLNKRESULT status = resolve_path(phone, path, out);
    if (status != DLNK_OK) {
        return status;
    }
    return out.memory && is_folder(out.native) ? DLNK_OK : DLNK_E_FOLDER_NOT_FOUND;
}

// The next entry of a listing of folders or of files, made into its record.
template <typename Record, typename Make>
DLNKRESULT next_entry(DLNKFINDHANDLE find, bool files, Record** info, Make make) {
    return guarded([&] {
        if (!g_finds.contains(find) || find->files != files) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (info == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        if (find->next == find->entries.size()) {
            return DLNK_E_NO_MORE_ENTRIES;
        }
        *info = make(find->entries[find->next++]);
        return DLNK_OK;
    });
}

}  // namespace

HandleRegistry<DLNK_FS>& file_system_handles() {
    static HandleRegistry<DLNK_FS> handles;
    return handles;
}

DLNKRESULT begin_call(DLNKFSHANDLE fs, const char* call, PhoneConfig& phone) {
    {
        std::lock_guard lock(g_moduleMutex);
        if (g_initCount == 0) {
            return DLNK_E_NOT_INITIALIZED;
        }
    }
    if (!file_system_handles().contains(fs)) {
        return DLNK_E_INVALID_HANDLE;
    }
    auto found = find_phone(fs->serial);
    if (!found) {
        return DLNK_E_CONNECTION_LOST;
    }
    phone = std::move(*found);
    if (const auto fault = phone.fault(call)) {
        return *fault;
    }
    return DLNK_OK;
}

namespace {

// A memory's files live on the host's file system, so that file system's used
// bytes bound the memory's own. When even they and what comes fit the
// capacity, there is room without the walk over every folder of the memory,
// which a copy of thousands of files would otherwise pay for each one. Small
// capacities, the ones tests fill, still take the walk.
bool surely_fits(const MemoryConfig& memory, std::int64_t adding) {
    struct statvfs info {};
    if (::statvfs(memory.folder.c_str(), &info) != 0) {
        return false;
    }
    const auto used = static_cast<std::int64_t>((info.f_blocks - info.f_bfree) * info.f_frsize);
    return used + adding <= memory.capacity;
}

}  // namespace

bool has_room(const MemoryConfig& memory, std::int64_t adding, std::int64_t replacing) {
    return surely_fits(memory, adding) ||
           tree_bytes(memory.folder) - replacing + adding <= memory.capacity;
}

}  // namespace devlinx::sim

using namespace devlinx::sim;

extern "C" {

DLNKRESULT FSAPI_Initialize(uint32_t version, void* /*reserved*/) {
    if (version == 0 || version > DLNK_FSAPI_VERSION) {
        return DLNK_E_NOT_SUPPORTED;
    }
    std::lock_guard lock(g_moduleMutex);
    ++g_initCount;
    return DLNK_OK;
}

DLNKRESULT FSAPI_Terminate(void* /*reserved*/) {
    std::lock_guard lock(g_moduleMutex);
    if (g_initCount == 0) {
        return DLNK_E_NOT_INITIALIZED;
    }
    --g_initCount;
    return DLNK_OK;
}

DLNKRESULT DLNKOpenFS(const wchar_t* serial_number, uint32_t* media, uint32_t* device_id,
                      DLNKFSHANDLE* fs) {
    return guarded([&] {
        {
            std::lock_guard lock(g_moduleMutex);
            if (g_initCount == 0) {
                return DLNK_E_NOT_INITIALIZED;
            }
        }
        if (serial_number == nullptr || media == nullptr || device_id == nullptr || fs == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const auto phone = find_phone(serial_number);
        if (!phone) {
            return DLNK_E_DEVICE_NOT_CONNECTED;
        }
        if (const auto fault = phone->fault("DLNKOpenFS")) {
            return *fault;
        }
        const bool anyMedia = *media == 0 || *media == DLNK_MEDIA_ANY;
        if ((!anyMedia && (*media & phone->media) == 0) ||
            (*device_id != 0 && *device_id != phone->device_id)) {
            return DLNK_E_DEVICE_NOT_CONNECTED;
        }
        auto* handle = new DLNK_FS;
        handle->serial = phone->serial;
        handle->media = *media = phone->media;
        handle->device_id = *device_id = phone->device_id;
        *fs = file_system_handles().add(handle);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKCloseFS(DLNKFSHANDLE fs) {
    if (!file_system_handles().remove(fs)) {
        return DLNK_E_INVALID_HANDLE;
    }
    delete fs;
    return DLNK_OK;
}

DLNKRESULT DLNKFindBegin(DLNKFSHANDLE fs, uint32_t option, const wchar_t* folder,
                         DLNKFINDHANDLE* find) {
    return phone_call(fs, "DLNKFindBegin", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        if (find == nullptr || (option != DLNK_FIND_FOLDERS && option != DLNK_FIND_FILES)) {
            return DLNK_E_INVALID_PARAMETER;
        }
        PhonePath path;
        status = resolve_path(phone, folder, path);
        if (status != DLNK_OK) {
            return status;
        }
        auto* search = new DLNK_FIND;
        search->files = option == DLNK_FIND_FILES;
        if (path.is_phone_root) {
            if (!search->files) {
                search->entries = list_memories(phone);
            }
        } else if (is_folder(path.native)) {
            search->entries = list_folder(path, search->files);
        } else {
            delete search;
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        *find = g_finds.add(search);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKFindNextFolder(DLNKFINDHANDLE find, DLNK_FOLDER_INFO** info) {
    return next_entry(find, false, info, [](const FindEntry& entry) {
        auto* record = new DLNK_FOLDER_INFO{};
        record->name = copy_text(entry.name);
        record->label = entry.label.empty() ? nullptr : copy_text(entry.label);
        record->memory_type = entry.memory_type.empty() ? nullptr : copy_text(entry.memory_type);
        record->attributes = entry.attributes;
        record->time = entry.time;
        return record;
    });
}

DLNKRESULT DLNKFindNextFile(DLNKFINDHANDLE find, DLNK_FILE_INFO** info) {
    return next_entry(find, true, info, [](const FindEntry& entry) {
        return new DLNK_FILE_INFO{copy_text(entry.name), entry.size, entry.time, 0};
    });
}

DLNKRESULT DLNKFindEnd(DLNKFINDHANDLE find) {
    if (!g_finds.remove(find)) {
        return DLNK_E_INVALID_HANDLE;
    }
    delete find;
    return DLNK_OK;
}

DLNKRESULT DLNKFreeFolderInfoStructure(DLNK_FOLDER_INFO* info) {
    if (info != nullptr) {
        free_text(info->name);
        free_text(info->label);
        free_text(info->memory_type);
        delete info;
    }
    return DLNK_OK;
}

DLNKRESULT DLNKFreeFileInfoStructure(DLNK_FILE_INFO* info) {
    if (info != nullptr) {
        free_text(info->name);
        delete info;
    }
    return DLNK_OK;
}

DLNKRESULT DLNKGetFolderInfo(DLNKFSHANDLE fs, uint32_t option, const wchar_t* path,
                             DLNK_FOLDER_CONTENT* content) {
    return phone_call(fs, "DLNKGetFolderInfo", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        if (content == nullptr || content->struct_size < sizeof(DLNK_FOLDER_CONTENT) ||
            (option != DLNK_GET_FOLDER_INFO && option != DLNK_GET_FOLDER_TREE)) {
            return DLNK_E_INVALID_PARAMETER;
        }
        PhonePath folder;
        status = resolve_folder(phone, path, folder);
        if (status != DLNK_OK) {
            return status;
        }
        const std::int64_t used = tree_bytes(folder.memory->folder);
        const uint32_t size = content->struct_size;
        *content = DLNK_FOLDER_CONTENT{};
        content->struct_size = size;
        content->path = copy_text(folder.display);
        content->label = copy_text(folder.memory->label);
        content->memory_type = copy_text(folder.memory->type);
        content->attributes =
            DLNK_ATTRIBUTE_FOLDER | (folder.is_memory_root() ? DLNK_ATTRIBUTE_DRIVE : 0u);
        content->total_bytes = folder.memory->capacity;
        content->used_bytes = used;
        content->free_bytes = used < folder.memory->capacity ? folder.memory->capacity - used : 0;
        content->tree_bytes = option == DLNK_GET_FOLDER_TREE ? tree_bytes(folder.native) : 0;
        return DLNK_OK;
    });
}

DLNKRESULT DLNKFreeFolderContentStructure(DLNK_FOLDER_CONTENT* content) {
    if (content != nullptr) {
        free_text(content->path);
        free_text(content->label);
        free_text(content->memory_type);
        content->path = content->label = content->memory_type = nullptr;
    }
    return DLNK_OK;
}

DLNKRESULT DLNKGetFileInfo(DLNKFSHANDLE fs, const wchar_t* name, const wchar_t* folder,
                           DLNK_FILE_INFO** info) {
    return phone_call(fs, "DLNKGetFileInfo", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath file;
        status = resolve_child(phone, folder, name, file);
        if (status != DLNK_OK) {
            return status;
        }
        if (info == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        if (!is_file(file.native)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        *info = new DLNK_FILE_INFO{copy_text(name), static_cast<uint32_t>(file_bytes(file.native)),
                                   modification_time(file.native), 0};
        return DLNK_OK;
    });
}

DLNKRESULT DLNKCreateFolder(DLNKFSHANDLE fs, const wchar_t* parent, const wchar_t* name) {
    return phone_call(fs, "DLNKCreateFolder", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath folder;
        status = resolve_child(phone, parent, name, folder);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_folder(folder.native.parent_path())) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        if (is_folder(folder.native)) {
            return DLNK_E_FOLDER_EXISTS;
        }
        std::error_code error;
        if (fs::exists(fs::symlink_status(folder.native, error))) {
            return DLNK_E_FILE_EXISTS;
        }
        return fs::create_directory(folder.native, error) ? DLNK_OK : DLNK_E_ACCESS_DENIED;
    });
}

DLNKRESULT DLNKDeleteFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* parent,
                            const wchar_t* name) {
    return phone_call(fs, "DLNKDeleteFolder", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath folder;
        status = resolve_child(phone, parent, name, folder);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_folder(folder.native)) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        std::error_code error;
        if ((option & DLNK_DELETE_RECURSIVE) == 0 && !fs::is_empty(folder.native, error)) {
            return DLNK_E_ACCESS_DENIED;
        }
        // remove_all deletes links, never what they point to.
        fs::remove_all(folder.native, error);
        return error ? DLNK_E_ACCESS_DENIED : DLNK_OK;
    });
}

DLNKRESULT DLNKDeleteFile(DLNKFSHANDLE fs, const wchar_t* folder, const wchar_t* name) {
    return phone_call(fs, "DLNKDeleteFile", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath file;
        status = resolve_child(phone, folder, name, file);
        if (status != DLNK_OK) {
            return status;
        }
        if (is_folder(file.native)) {
            return DLNK_E_ACCESS_DENIED;
        }
        if (!is_file(file.native)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        std::error_code error;
        return fs::remove(file.native, error) ? DLNK_OK : DLNK_E_ACCESS_DENIED;
    });
}

DLNKRESULT DLNKMoveFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder) {
    return phone_call(fs, "DLNKMoveFile", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath from;
        status = resolve_path(phone, source, from);
        if (status != DLNK_OK) {
            return status;
        }
        if (!from.memory || !is_file(from.native)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        PhonePath to;
        if (target_folder == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const std::wstring name = to_wide(from.native.filename().string());
        status = resolve_child(phone, target_folder, name.c_str(), to);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_folder(to.native.parent_path())) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        if (to.native == from.native) {
            return DLNK_OK;
        }
        if (is_folder(to.native) || (is_file(to.native) && (option & DLNK_MOVE_REPLACE) == 0)) {
            return DLNK_E_FILE_EXISTS;
        }
        std::error_code error;
        if (to.memory->folder == from.memory->folder) {
            fs::rename(from.native, to.native, error);
            return error ? DLNK_E_ACCESS_DENIED : DLNK_OK;
        }
        if (!has_room(*to.memory, file_bytes(from.native), file_bytes(to.native))) {
            return DLNK_E_NOT_ENOUGH_SPACE;
        }
        status = copy_contents(from.native, to.native);
        if (status == DLNK_OK) {
            fs::remove(from.native, error);
        }
        return status;
    });
}

DLNKRESULT DLNKMoveFolder(DLNKFSHANDLE fs, uint32_t /*option*/, const wchar_t* source,
                          const wchar_t* target) {
    return phone_call(fs, "DLNKMoveFolder", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        PhonePath from;
        status = resolve_folder(phone, source, from);
        if (status != DLNK_OK) {
            return status;
        }
        if (from.is_memory_root()) {
            return DLNK_E_ACCESS_DENIED;
        }
        PhonePath to;
        status = resolve_path(phone, target, to);
        if (status != DLNK_OK) {
            return status;
        }
        if (!to.memory || to.is_memory_root() || !is_folder(to.native.parent_path())) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        std::error_code error;
        if (fs::exists(fs::symlink_status(to.native, error))) {
            return DLNK_E_FOLDER_EXISTS;
        }
        const std::wstring fromText = from.native.wstring() + L"/";
        if (to.native.wstring().rfind(fromText, 0) == 0) {
            return DLNK_E_ACCESS_DENIED;  // into itself
        }
        if (to.memory->folder == from.memory->folder) {
            fs::rename(from.native, to.native, error);
            return error ? DLNK_E_ACCESS_DENIED : DLNK_OK;
        }
        if (!has_room(*to.memory, tree_bytes(from.native), 0)) {
            return DLNK_E_NOT_ENOUGH_SPACE;
        }
        fs::copy(from.native, to.native, fs::copy_options::recursive, error);
        if (error) {
            fs::remove_all(to.native, error);
            return DLNK_E_ACCESS_DENIED;
        }
        fs::remove_all(from.native, error);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKCopyFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder) {
    return phone_call(fs, "DLNKCopyFile", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        if (source == nullptr || target_folder == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        fs::path from;
        if ((option & DLNK_COPY_FROM_PC) != 0) {
            from = local_path(source);
        } else {
            PhonePath phoneSource;
            status = resolve_path(phone, source, phoneSource);
            if (status != DLNK_OK) {
                return status;
            }
            from = phoneSource.native;
        }
        if (!fs::is_regular_file(from)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        PhonePath to;
        const std::wstring name = to_wide(from.filename().string());
        status = resolve_child(phone, target_folder, name.c_str(), to);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_folder(to.native.parent_path())) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        if (is_folder(to.native) || (is_file(to.native) && (option & DLNK_COPY_OVERWRITE) == 0)) {
            return DLNK_E_FILE_EXISTS;
        }
        std::error_code error;
        if (!has_room(*to.memory, static_cast<std::int64_t>(fs::file_size(from, error)),
                      file_bytes(to.native))) {
            return DLNK_E_NOT_ENOUGH_SPACE;
        }
        return copy_contents(from, to.native);
    });
}

DLNKRESULT DLNKReadFile(DLNKFSHANDLE fs, const wchar_t* folder, DLNK_FILE_DESC* file, void** data) {
    return phone_call(fs, "DLNKReadFile", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        if (file == nullptr || data == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        PhonePath path;
        status = resolve_child(phone, folder, file->name, path);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_file(path.native)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        const std::int64_t size = file_bytes(path.native);
        if (size > 0xFFFFFFFFll) {
            return DLNK_E_FILE_TOO_LARGE;
        }
        std::ifstream in(path.native, std::ios::binary);
        void* block = std::malloc(size == 0 ? 1 : static_cast<std::size_t>(size));
        if (block == nullptr) {
            return DLNK_E_OUT_OF_MEMORY;
        }
        if (!in.read(static_cast<char*>(block), size)) {
            std::free(block);
            return DLNK_E_FILE_LOCKED;
        }
        file->name = copy_text(file->name);
        file->length = static_cast<uint32_t>(size);
        *data = block;
        return DLNK_OK;
    });
}

DLNKRESULT DLNKWriteFile(DLNKFSHANDLE fs, const DLNK_FILE_DESC* file, const void* data,
                         const wchar_t* folder) {
    return phone_call(fs, "DLNKWriteFile", [&](const PhoneConfig& phone) {
        DLNKRESULT status = DLNK_OK;
        if (file == nullptr || (data == nullptr && file->length != 0)) {
            return DLNK_E_INVALID_PARAMETER;
        }
        PhonePath path;
        status = resolve_child(phone, folder, file->name, path);
        if (status != DLNK_OK) {
            return status;
        }
        if (!is_folder(path.native.parent_path())) {
            return DLNK_E_FOLDER_NOT_FOUND;
        }
        if (is_folder(path.native)) {
            return DLNK_E_ACCESS_DENIED;
        }
        if (!has_room(*path.memory, file->length, file_bytes(path.native))) {
            return DLNK_E_NOT_ENOUGH_SPACE;
        }
        const fs::path partial =
            path.native.parent_path() / ("." + path.native.filename().string() + ".part");
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            out.write(static_cast<const char*>(data), file->length);
            if (!out.flush()) {
                std::error_code error;
                fs::remove(partial, error);
                return DLNK_E_ACCESS_DENIED;
            }
        }
        std::error_code error;
        fs::rename(partial, path.native, error);
        return error ? DLNK_E_ACCESS_DENIED : DLNK_OK;
    });
}

DLNKRESULT DLNKAllocFileDataMemory(uint32_t length, void** block) {
    if (block == nullptr) {
        return DLNK_E_INVALID_PARAMETER;
    }
    *block = std::malloc(length == 0 ? 1 : length);
    return *block == nullptr ? DLNK_E_OUT_OF_MEMORY : DLNK_OK;
}

DLNKRESULT DLNKFreeFileDataMemory(void* block) {
    std::free(block);
    return DLNK_OK;
}

}  // extern "C"
