#include "service/devices/phone_handle.h"

#include "service/devices/connectivity_calls.h"

namespace MapsService {

PhoneHandle::PhoneHandle(const std::wstring& serialNumber, std::uint32_t media,
                         std::uint32_t deviceId) {
    // media and device id come back from the library; each operation starts
    // from the object's values, so concurrent operations share no state.
    m_status = Devlinx::DLNKOpenFS(serialNumber.c_str(), &media, &deviceId, &m_fs);
    if (m_status != DLNK_OK) {
        m_fs = nullptr;
    }
}

PhoneHandle::~PhoneHandle() {
    if (m_fs != nullptr) {
        Devlinx::DLNKCloseFS(m_fs);
    }
}

void LibraryRecordDeleter::operator()(DLNK_FILE_INFO* info) const {
    Devlinx::DLNKFreeFileInfoStructure(info);
}

void LibraryRecordDeleter::operator()(DLNK_FOLDER_INFO* info) const {
    Devlinx::DLNKFreeFolderInfoStructure(info);
}

void LibraryRecordDeleter::operator()(DLNKFINDHANDLE find) const {
    Devlinx::DLNKFindEnd(find);
}

FolderContent::FolderContent() {
    m_content.struct_size = sizeof m_content;
}

FolderContent::~FolderContent() {
    if (m_filled) {
        Devlinx::DLNKFreeFolderContentStructure(&m_content);
    }
}

DLNKRESULT FolderContent::read(DLNKFSHANDLE fs, std::uint32_t option, const std::wstring& path) {
    if (m_filled) {
        Devlinx::DLNKFreeFolderContentStructure(&m_content);
        m_filled = false;
    }
    const DLNKRESULT status = Devlinx::DLNKGetFolderInfo(fs, option, path.c_str(), &m_content);
    m_filled = status == DLNK_OK;
    return status;
}

}  // namespace MapsService
