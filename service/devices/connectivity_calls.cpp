#include "service/devices/connectivity_calls.h"

#include "service/devices/connectivity_loader.h"

namespace MapsService::Devlinx {

namespace {

template <typename Fn, typename... Args>
DLNKRESULT forward(ConnectivityModule module, const char* name, Args... args) {
    return connectivity_loader().call<Fn>(module, name, args...);
}

}  // namespace

DLNKRESULT DMAPI_Initialize(std::uint32_t version) {
    return connectivity_loader().initialize(ConnectivityModule::DMAPI, version);
}

DLNKRESULT DMAPI_Terminate() {
    return connectivity_loader().terminate(ConnectivityModule::DMAPI);
}

DLNKRESULT FSAPI_Initialize(std::uint32_t version) {
    return connectivity_loader().initialize(ConnectivityModule::FSAPI, version);
}

DLNKRESULT FSAPI_Terminate() {
    return connectivity_loader().terminate(ConnectivityModule::FSAPI);
}

DLNKRESULT DIAPI_Initialize(std::uint32_t version) {
    return connectivity_loader().initialize(ConnectivityModule::DIAPI, version);
}

DLNKRESULT DIAPI_Terminate() {
    return connectivity_loader().terminate(ConnectivityModule::DIAPI);
}

DLNKRESULT DLNKOpenDM(DLNKDMHANDLE* dm) {
    return forward<decltype(::DLNKOpenDM)>(ConnectivityModule::DMAPI, "DLNKOpenDM", dm);
}

DLNKRESULT DLNKCloseDM(DLNKDMHANDLE dm) {
    return forward<decltype(::DLNKCloseDM)>(ConnectivityModule::DMAPI, "DLNKCloseDM", dm);
}

DLNKRESULT DLNKRegisterDMNotifyIF(DLNKDMHANDLE dm, uint32_t option, IDMAPIDeviceNotify* notify) {
    return forward<decltype(::DLNKRegisterDMNotifyIF)>(
        ConnectivityModule::DMAPI, "DLNKRegisterDMNotifyIF", dm, option, notify);
}

DLNKRESULT DLNKGetDeviceCount(DLNKDMHANDLE dm, uint32_t* count) {
    return forward<decltype(::DLNKGetDeviceCount)>(ConnectivityModule::DMAPI, "DLNKGetDeviceCount",
                                                   dm, count);
}

DLNKRESULT DLNKGetDevices(DLNKDMHANDLE dm, DLNK_DEVICE* devices, uint32_t* count) {
    return forward<decltype(::DLNKGetDevices)>(ConnectivityModule::DMAPI, "DLNKGetDevices", dm,
                                               devices, count);
}

DLNKRESULT DLNKGetDevice(DLNKDMHANDLE dm, const wchar_t* serial_number, DLNK_DEVICE* device) {
    return forward<decltype(::DLNKGetDevice)>(ConnectivityModule::DMAPI, "DLNKGetDevice", dm,
                                              serial_number, device);
}

DLNKRESULT DLNKFreeDeviceStructure(uint32_t count, DLNK_DEVICE* devices) {
    return forward<decltype(::DLNKFreeDeviceStructure)>(ConnectivityModule::DMAPI,
                                                        "DLNKFreeDeviceStructure", count, devices);
}

DLNKRESULT DLNKGetDeviceInfo(DLNKDMHANDLE dm, const wchar_t* serial_number, uint32_t kind,
                             DLNK_DEVICE_INFO** info) {
    return forward<decltype(::DLNKGetDeviceInfo)>(ConnectivityModule::DIAPI, "DLNKGetDeviceInfo",
                                                  dm, serial_number, kind, info);
}

DLNKRESULT DLNKFreeDeviceInfoStructure(DLNK_DEVICE_INFO* info) {
    return forward<decltype(::DLNKFreeDeviceInfoStructure)>(ConnectivityModule::DIAPI,
                                                            "DLNKFreeDeviceInfoStructure", info);
}

DLNKRESULT DLNKOpenFS(const wchar_t* serial_number, uint32_t* media, uint32_t* device_id,
                      DLNKFSHANDLE* fs) {
    return forward<decltype(::DLNKOpenFS)>(ConnectivityModule::FSAPI, "DLNKOpenFS", serial_number,
                                           media, device_id, fs);
}

DLNKRESULT DLNKCloseFS(DLNKFSHANDLE fs) {
    return forward<decltype(::DLNKCloseFS)>(ConnectivityModule::FSAPI, "DLNKCloseFS", fs);
}

DLNKRESULT DLNKFindBegin(DLNKFSHANDLE fs, uint32_t option, const wchar_t* folder,
                         DLNKFINDHANDLE* find) {
    return forward<decltype(::DLNKFindBegin)>(ConnectivityModule::FSAPI, "DLNKFindBegin", fs,
                                              option, folder, find);
}

DLNKRESULT DLNKFindNextFolder(DLNKFINDHANDLE find, DLNK_FOLDER_INFO** info) {
    return forward<decltype(::DLNKFindNextFolder)>(ConnectivityModule::FSAPI, "DLNKFindNextFolder",
                                                   find, info);
}

DLNKRESULT DLNKFindNextFile(DLNKFINDHANDLE find, DLNK_FILE_INFO** info) {
    return forward<decltype(::DLNKFindNextFile)>(ConnectivityModule::FSAPI, "DLNKFindNextFile",
                                                 find, info);
}

DLNKRESULT DLNKFindEnd(DLNKFINDHANDLE find) {
    return forward<decltype(::DLNKFindEnd)>(ConnectivityModule::FSAPI, "DLNKFindEnd", find);
}

DLNKRESULT DLNKFreeFolderInfoStructure(DLNK_FOLDER_INFO* info) {
    return forward<decltype(::DLNKFreeFolderInfoStructure)>(ConnectivityModule::FSAPI,
                                                            "DLNKFreeFolderInfoStructure", info);
}

DLNKRESULT DLNKFreeFileInfoStructure(DLNK_FILE_INFO* info) {
    return forward<decltype(::DLNKFreeFileInfoStructure)>(ConnectivityModule::FSAPI,
                                                          "DLNKFreeFileInfoStructure", info);
}

DLNKRESULT DLNKGetFolderInfo(DLNKFSHANDLE fs, uint32_t option, const wchar_t* path,
                             DLNK_FOLDER_CONTENT* content) {
    return forward<decltype(::DLNKGetFolderInfo)>(ConnectivityModule::FSAPI, "DLNKGetFolderInfo",
                                                  fs, option, path, content);
}

DLNKRESULT DLNKFreeFolderContentStructure(DLNK_FOLDER_CONTENT* content) {
    return forward<decltype(::DLNKFreeFolderContentStructure)>(
        ConnectivityModule::FSAPI, "DLNKFreeFolderContentStructure", content);
}

DLNKRESULT DLNKGetFileInfo(DLNKFSHANDLE fs, const wchar_t* name, const wchar_t* folder,
                           DLNK_FILE_INFO** info) {
    return forward<decltype(::DLNKGetFileInfo)>(ConnectivityModule::FSAPI, "DLNKGetFileInfo", fs,
                                                name, folder, info);
}

DLNKRESULT DLNKCreateFolder(DLNKFSHANDLE fs, const wchar_t* parent, const wchar_t* name) {
    return forward<decltype(::DLNKCreateFolder)>(ConnectivityModule::FSAPI, "DLNKCreateFolder", fs,
                                                 parent, name);
}

DLNKRESULT DLNKDeleteFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* parent,
                            const wchar_t* name) {
    return forward<decltype(::DLNKDeleteFolder)>(ConnectivityModule::FSAPI, "DLNKDeleteFolder", fs,
                                                 option, parent, name);
}

DLNKRESULT DLNKDeleteFile(DLNKFSHANDLE fs, const wchar_t* folder, const wchar_t* name) {
    return forward<decltype(::DLNKDeleteFile)>(ConnectivityModule::FSAPI, "DLNKDeleteFile", fs,
                                               folder, name);
}

DLNKRESULT DLNKMoveFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder) {
    return forward<decltype(::DLNKMoveFile)>(ConnectivityModule::FSAPI, "DLNKMoveFile", fs, option,
                                             source, target_folder);
}

DLNKRESULT DLNKMoveFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                          const wchar_t* target) {
    return forward<decltype(::DLNKMoveFolder)>(ConnectivityModule::FSAPI, "DLNKMoveFolder", fs,
                                               option, source, target);
}

DLNKRESULT DLNKCopyFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                        const wchar_t* target_folder) {
    return forward<decltype(::DLNKCopyFile)>(ConnectivityModule::FSAPI, "DLNKCopyFile", fs, option,
                                             source, target_folder);
}

DLNKRESULT DLNKReadFile(DLNKFSHANDLE fs, const wchar_t* folder, DLNK_FILE_DESC* file, void** data) {
    return forward<decltype(::DLNKReadFile)>(ConnectivityModule::FSAPI, "DLNKReadFile", fs, folder,
                                             file, data);
}

DLNKRESULT DLNKWriteFile(DLNKFSHANDLE fs, const DLNK_FILE_DESC* file, const void* data,
                         const wchar_t* folder) {
    return forward<decltype(::DLNKWriteFile)>(ConnectivityModule::FSAPI, "DLNKWriteFile", fs, file,
                                              data, folder);
}

DLNKRESULT DLNKAllocFileDataMemory(uint32_t length, void** block) {
    return forward<decltype(::DLNKAllocFileDataMemory)>(ConnectivityModule::FSAPI,
                                                        "DLNKAllocFileDataMemory", length, block);
}

DLNKRESULT DLNKFreeFileDataMemory(void* block) {
    return forward<decltype(::DLNKFreeFileDataMemory)>(ConnectivityModule::FSAPI,
                                                       "DLNKFreeFileDataMemory", block);
}

DLNKRESULT DLNKRegisterFSNotifyIF(DLNKFSHANDLE fs, uint32_t option, IFSAPINotify* notify) {
    return forward<decltype(::DLNKRegisterFSNotifyIF)>(
        ConnectivityModule::FSAPI, "DLNKRegisterFSNotifyIF", fs, option, notify);
}

DLNKRESULT DLNKInstallApplication(DLNKFSHANDLE fs, uint32_t option,
                                  const DLNK_INSTALLER_DESC* installer, uint32_t flags,
                                  uint32_t reserved1, uint32_t reserved2) {
    return forward<decltype(::DLNKInstallApplication)>(ConnectivityModule::FSAPI,
                                                       "DLNKInstallApplication", fs, option,
                                                       installer, flags, reserved1, reserved2);
}

DLNKRESULT DLNKCancel(DLNKFSHANDLE fs) {
    return forward<decltype(::DLNKCancel)>(ConnectivityModule::FSAPI, "DLNKCancel", fs);
}

DLNKRESULT DLNKListApplications(DLNKFSHANDLE fs, uint32_t option, uint32_t* count,
                                DLNK_APPLICATION_INFO** applications) {
    return forward<decltype(::DLNKListApplications)>(
        ConnectivityModule::FSAPI, "DLNKListApplications", fs, option, count, applications);
}

DLNKRESULT DLNKFreeApplicationInfoStructures(uint32_t count, DLNK_APPLICATION_INFO* applications) {
    return forward<decltype(::DLNKFreeApplicationInfoStructures)>(
        ConnectivityModule::FSAPI, "DLNKFreeApplicationInfoStructures", count, applications);
}

}  // namespace MapsService::Devlinx
