#pragma once

#include <cstdint>

#include "devlinx/devlinx_api.h"

// The connectivity library as the service calls it: each call goes through the
// process-wide loader to the module that serves it. Call them qualified
// (Devlinx::DLNKOpenFS): the library's own declarations share the names.
namespace MapsService::Devlinx {

[[nodiscard]] DLNKRESULT DMAPI_Initialize(std::uint32_t version);
[[nodiscard]] DLNKRESULT DMAPI_Terminate();
[[nodiscard]] DLNKRESULT FSAPI_Initialize(std::uint32_t version);
[[nodiscard]] DLNKRESULT FSAPI_Terminate();
[[nodiscard]] DLNKRESULT DIAPI_Initialize(std::uint32_t version);
[[nodiscard]] DLNKRESULT DIAPI_Terminate();

DLNKRESULT DLNKOpenDM(DLNKDMHANDLE* dm);
DLNKRESULT DLNKCloseDM(DLNKDMHANDLE dm);
DLNKRESULT DLNKRegisterDMNotifyIF(DLNKDMHANDLE dm, uint32_t option, IDMAPIDeviceNotify* notify);
DLNKRESULT DLNKGetDeviceCount(DLNKDMHANDLE dm, uint32_t* count);
DLNKRESULT DLNKGetDevices(DLNKDMHANDLE dm, DLNK_DEVICE* devices, uint32_t* count);
DLNKRESULT DLNKGetDevice(DLNKDMHANDLE dm, const wchar_t* serial_number, DLNK_DEVICE* device);
DLNKRESULT DLNKFreeDeviceStructure(uint32_t count, DLNK_DEVICE* devices);
DLNKRESULT DLNKGetDeviceInfo(DLNKDMHANDLE dm, const wchar_t* serial_number, uint32_t kind,
                             DLNK_DEVICE_INFO** info);
DLNKRESULT DLNKFreeDeviceInfoStructure(DLNK_DEVICE_INFO* info);
DLNKRESULT DLNKOpenFS(const wchar_t* serial_number, uint32_t* media, uint32_t* device_id,
                      DLNKFSHANDLE* fs);
DLNKRESULT DLNKCloseFS(DLNKFSHANDLE fs);
DLNKRESULT DLNKFindBegin(DLNKFSHANDLE fs, uint32_t option, const wchar_t* folder,
                         DLNKFINDHANDLE* find);
DLNKRESULT DLNKFindNextFolder(DLNKFINDHANDLE find, DLNK_FOLDER_INFO** info);
DLNKRESULT DLNKFindNextFile(DLNKFINDHANDLE find, DLNK_FILE_INFO** info);
DLNKRESULT DLNKFindEnd(DLNKFINDHANDLE find);
DLNKRESULT DLNKFreeFolderInfoStructure(DLNK_FOLDER_INFO* info);
DLNKRESULT DLNKFreeFileInfoStructure(DLNK_FILE_INFO* info);
DLNKRESULT DLNKGetFolderInfo(DLNKFSHANDLE fs, uint32_t option, const wchar_t* path,
                             DLNK_FOLDER_CONTENT* content);
DLNKRESULT DLNKFreeFolderContentStructure(DLNK_FOLDER_CONTENT* content);
DLNKRESULT DLNKGetFileInfo(DLNKFSHANDLE fs, const wchar_t* name, const wchar_t* folder,
                           DLNK_FILE_INFO** info);
DLNKRESULT DLNKCreateFolder(DLNKFSHANDLE fs, const wchar_t* parent, const wchar_t* name);
DLNKRESULT DLNKDeleteFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* parent,
                            const wchar_t* name);
DLNKRESULT DLNKDeleteFile(DLNKFSHANDLE fs, const wchar_t* folder, const wchar_t* name);
DLNKRESULT DLNKMoveFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder);
DLNKRESULT DLNKMoveFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                          const wchar_t* target);
DLNKRESULT DLNKCopyFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder);
DLNKRESULT DLNKReadFile(DLNKFSHANDLE fs, const wchar_t* folder, DLNK_FILE_DESC* file, void** data);
DLNKRESULT DLNKWriteFile(DLNKFSHANDLE fs, const DLNK_FILE_DESC* file, const void* data,
                         const wchar_t* folder);
DLNKRESULT DLNKAllocFileDataMemory(uint32_t length, void** block);
DLNKRESULT DLNKFreeFileDataMemory(void* block);
DLNKRESULT DLNKRegisterFSNotifyIF(DLNKFSHANDLE fs, uint32_t option, IFSAPINotify* notify);
DLNKRESULT DLNKInstallApplication(DLNKFSHANDLE fs, uint32_t option,
                                  const DLNK_INSTALLER_DESC* installer, uint32_t flags,
                                  uint32_t reserved1, uint32_t reserved2);
DLNKRESULT DLNKCancel(DLNKFSHANDLE fs);
DLNKRESULT DLNKListApplications(DLNKFSHANDLE fs, uint32_t option, uint32_t* count,
                                DLNK_APPLICATION_INFO** applications);
DLNKRESULT DLNKFreeApplicationInfoStructures(uint32_t count, DLNK_APPLICATION_INFO* applications);

}  // namespace MapsService::Devlinx
