#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devlinx/devlinx_api.h"

namespace MapsService {

// A file-system handle on one phone, open for the life of one operation and
// closed on every way out.
class PhoneHandle {
public:
    PhoneHandle(const std::wstring& serialNumber, std::uint32_t media, std::uint32_t deviceId);
    ~PhoneHandle();
    PhoneHandle(const PhoneHandle&) = delete;
    PhoneHandle& operator=(const PhoneHandle&) = delete;

    bool is_open() const { return m_fs != nullptr; }
    DLNKRESULT open_status() const { return m_status; }
    DLNKFSHANDLE get() const { return m_fs; }

private:
    DLNKFSHANDLE m_fs = nullptr;
    DLNKRESULT m_status;
};

// Owners of what the library allocates for the caller.
struct LibraryRecordDeleter {
    void operator()(DLNK_FILE_INFO* info) const;
    void operator()(DLNK_FOLDER_INFO* info) const;
    void operator()(DLNKFINDHANDLE find) const;
};
using FileInfoRecord = std::unique_ptr<DLNK_FILE_INFO, LibraryRecordDeleter>;
using FolderInfoRecord = std::unique_ptr<DLNK_FOLDER_INFO, LibraryRecordDeleter>;
using FindSearch = std::unique_ptr<DLNK_FIND, LibraryRecordDeleter>;

// A folder's description, its texts released when it goes.
class FolderContent {
public:
    FolderContent();
    ~FolderContent();
    FolderContent(const FolderContent&) = delete;
    FolderContent& operator=(const FolderContent&) = delete;

    // DLNKGetFolderInfo with the option on the path.
    DLNKRESULT read(DLNKFSHANDLE fs, std::uint32_t option, const std::wstring& path);
    const DLNK_FOLDER_CONTENT& get() const { return m_content; }

private:
    DLNK_FOLDER_CONTENT m_content{};
    bool m_filled = false;
};

}  // namespace MapsService
