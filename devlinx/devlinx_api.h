/*
 * Devlinx connectivity library: devices (DMAPI), files (FSAPI) and device
 * information (DIAPI) of phones connected to this computer.
 *
 * Every call answers a 32-bit status, 0 for success; failures are negative.
 * Texts are wide strings (wchar_t, one code point each). Paths on a phone use
 * backslashes: "\\" lists the phone's memories, "\\E:" is the memory card and
 * "\\E:\cities\diskcache" a folder on it. Records the library fills are
 * released with the matching DLNKFree... call.
 *
 * The notification interfaces are laid out as C++ classes with virtual slots
 * only (Itanium C++ ABI): a C caller supplies a structure whose first member
 * points to a table of functions in slot order, each taking the object first.
 * The library only calls the slots; it never asks an object for its type.
 */
#ifndef DEVLINX_DEVLINX_API_H
#define DEVLINX_DEVLINX_API_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(DEVLINX_BUILDING_LIBRARY)
#define DEVLINX_API __attribute__((visibility("default")))
#else
#define DEVLINX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t DLNKRESULT;

/* Handles; each is owned by the caller until its closing call. */
typedef struct DLNK_DM* DLNKDMHANDLE;     /* device manager, DLNKOpenDM/DLNKCloseDM */
typedef struct DLNK_FS* DLNKFSHANDLE;     /* one phone's files, DLNKOpenFS/DLNKCloseFS */
typedef struct DLNK_FIND* DLNKFINDHANDLE; /* one listing, DLNKFindBegin/DLNKFindEnd */

/* ---- Statuses ---------------------------------------------------------- */

#define DLNK_STATUS(value) ((DLNKRESULT)(uint32_t)(value))

#define DLNK_OK 0
/* Informational: the phone dropped the transfer but may come back. */
#define DLNK_I_CONNECTION_INTERRUPTED DLNK_STATUS(0x00000101u)

#define DLNK_E_INVALID_PARAMETER DLNK_STATUS(0x80100001u)
#define DLNK_E_INVALID_HANDLE DLNK_STATUS(0x80100002u)
#define DLNK_E_OUT_OF_MEMORY DLNK_STATUS(0x80100003u)
/* The module is not initialised (or the loader has no library loaded). */
#define DLNK_E_NOT_INITIALIZED DLNK_STATUS(0x80100004u)
#define DLNK_E_CANCELLED DLNK_STATUS(0x80100020u)
#define DLNK_E_CONNECTION_BROKEN DLNK_STATUS(0x80100022u)
#define DLNK_E_NOT_SUPPORTED DLNK_STATUS(0x80100023u)
/* From the loader: no library file could be loaded. */
#define DLNK_E_LIBRARY_NOT_FOUND DLNK_STATUS(0x80100100u)
/* From the loader: the library lacks the entry point asked for. */
#define DLNK_E_ENTRY_NOT_FOUND DLNK_STATUS(0x80100101u)

#define DLNK_E_CONNECTION_LOST DLNK_STATUS(0x80200005u)
/* No phone with this serial number is connected. */
#define DLNK_E_DEVICE_NOT_CONNECTED DLNK_STATUS(0x80200006u)

/* A listing has no more entries. */
#define DLNK_E_NO_MORE_ENTRIES DLNK_STATUS(0x80300000u)
/* The memory has no room for the data. */
#define DLNK_E_NOT_ENOUGH_SPACE DLNK_STATUS(0x80300001u)

#define DLNK_E_FILE_EXISTS DLNK_STATUS(0x80400001u)
/* A name that leaves its folder ("..", ".", separators) or is empty. */
#define DLNK_E_INVALID_NAME DLNK_STATUS(0x80400002u)
#define DLNK_E_FILE_NOT_FOUND DLNK_STATUS(0x80400004u)
#define DLNK_E_FILE_IN_USE DLNK_STATUS(0x80400005u)
#define DLNK_E_FILE_LOCKED DLNK_STATUS(0x80400007u)
/* A file too large for the 32-bit lengths of reads and writes. */
#define DLNK_E_FILE_TOO_LARGE DLNK_STATUS(0x80400008u)
#define DLNK_E_INSTALLER_NOT_SUPPORTED DLNK_STATUS(0x80400009u)

#define DLNK_E_FOLDER_EXISTS DLNK_STATUS(0x80500004u)
#define DLNK_E_FOLDER_NOT_FOUND DLNK_STATUS(0x80500005u)
#define DLNK_E_ACCESS_DENIED DLNK_STATUS(0x80500006u)

#define DLNK_E_INSTALL_BUSY DLNK_STATUS(0x80600000u)
#define DLNK_E_INSTALL_ABORTED DLNK_STATUS(0x80600001u)
#define DLNK_E_INSTALL_CORRUPT DLNK_STATUS(0x80600002u)
#define DLNK_E_INSTALL_DEPENDENCY DLNK_STATUS(0x80600003u)
#define DLNK_E_INSTALL_SECURITY DLNK_STATUS(0x80600004u)

/* ---- Option values ----------------------------------------------------- */

/* Module versions the entry points accept. */
#define DLNK_DMAPI_VERSION 0x20u
#define DLNK_FSAPI_VERSION 0x20u
#define DLNK_DIAPI_VERSION 0x0Bu

/* DLNKRegisterDMNotifyIF */
#define DLNK_DM_REGISTER 0x10u
#define DLNK_DM_UNREGISTER 0x20u
/* DLNKRegisterFSNotifyIF */
#define DLNK_FS_REGISTER 0x01u
#define DLNK_FS_UNREGISTER 0x20u

/* Media flags of DLNKOpenFS and of device notifications (bits 24 to 31). */
#define DLNK_MEDIA_ANY 0x01u /* request only: whatever link the phone uses */
#define DLNK_MEDIA_SERIAL 0x02u
#define DLNK_MEDIA_IRDA 0x04u
#define DLNK_MEDIA_BLUETOOTH 0x08u
#define DLNK_MEDIA_USB 0x10u

/* Device notification status: change in bits 0-15, info 16-23, media 24-31. */
#define DLNK_CHANGE_ADDED 0x0001u
#define DLNK_CHANGE_REMOVED 0x0002u
#define DLNK_CHANGE_UPDATED 0x0004u
#define DLNK_INFO_CONNECTED 0x01u
#define DLNK_INFO_DISCONNECTED 0x02u
#define DLNK_INFO_PROPERTIES 0x03u
#define DLNK_DEVICE_STATUS(change, info, media) \
    ((uint32_t)(change) | ((uint32_t)(info) << 16) | ((uint32_t)(media) << 24))

/* DLNKGetDeviceInfo kinds */
#define DLNK_INFO_KIND_GENERAL 0x10000u
#define DLNK_INFO_KIND_IMSI 0x200000u
#define DLNK_INFO_KIND_GENERATION 0x300000u

/* Feature bits of the general device information. */
#define DLNK_FEATURE_SIS_INSTALL 0x20u
#define DLNK_FEATURE_APPLICATION_LIST 0x200u

/* Phone type codes of the general device information. */
#define DLNK_TYPE_SERIES_A 0x1000001u
#define DLNK_TYPE_SERIES_B 0x2000010u
#define DLNK_TYPE_SERIES_C 0x2000020u
#define DLNK_TYPE_SERIES_D 0x2000100u
#define DLNK_TYPE_SERIES_E 0x2001000u

/* DLNKFindBegin */
#define DLNK_FIND_FOLDERS 0x00u
#define DLNK_FIND_FILES 0x80u

/* DLNKGetFolderInfo */
#define DLNK_GET_FOLDER_INFO 0x0001u
#define DLNK_GET_FOLDER_TREE 0x1004u /* also sums the sizes of every file below */

/* DLNKDeleteFolder */
#define DLNK_DELETE_RECURSIVE 0x01u

/* DLNKCopyFile, DLNKMoveFile, DLNKMoveFolder */
#define DLNK_COPY_OVERWRITE 0x04u
#define DLNK_MOVE_REPLACE 0x08u
#define DLNK_COPY_FROM_PC 0x10u

/* DLNKInstallApplication */
#define DLNK_INSTALL_FROM_PC 0x01u
#define DLNK_INSTALL_DEFAULT_FLAGS 0x50010u

/* DLNKListApplications */
#define DLNK_LIST_INSTALLED 0x1000u

/* IFSAPINotify::OnFSOperationState: the installation transfer, and the
 * state that asks the user to act on the phone (other states are percent). */
#define DLNK_FUNCTION_INSTALL 0x4000u
#define DLNK_STATE_USER_ACTION 0x100u

/* Folder attributes */
#define DLNK_ATTRIBUTE_FOLDER 0x10u
#define DLNK_ATTRIBUTE_DRIVE 0x100u

/* ---- Records ----------------------------------------------------------- */

/* One connected phone. Texts are null when the phone does not report them. */
typedef struct DLNK_DEVICE {
    wchar_t* serial_number; /* the phone's identity in every other call */
    wchar_t* name;          /* name the user gave the phone */
    wchar_t* model;         /* marketing model name */
    wchar_t* extra;         /* free text, not interpreted */
} DLNK_DEVICE;

/* Answer of DLNKGetDeviceInfo; which fields are set depends on the kind. */
typedef struct DLNK_DEVICE_INFO {
    uint32_t kind;      /* DLNK_INFO_KIND_... asked for */
    wchar_t* imsi;      /* IMSI kind: subscriber identity */
    uint32_t type_code; /* general kind: DLNK_TYPE_... */
    wchar_t* model;     /* general kind: model name */
    uint32_t features;  /* general kind: DLNK_FEATURE_... bits */
    int32_t generation; /* generation kind: product generation number */
} DLNK_DEVICE_INFO;

/* A folder found by DLNKFindNextFolder; at "\\" the phone's memories. */
typedef struct DLNK_FOLDER_INFO {
    wchar_t* name;        /* "E:" for a memory, else the folder's name */
    wchar_t* label;       /* memory label, null for plain folders */
    wchar_t* memory_type; /* "DEV" or "MMC" for a memory, null for plain folders */
    uint32_t attributes;  /* DLNK_ATTRIBUTE_... */
    int64_t time;         /* last change, seconds since 1970 UTC */
} DLNK_FOLDER_INFO;

/* A file found by DLNKFindNextFile or described by DLNKGetFileInfo. */
typedef struct DLNK_FILE_INFO {
    wchar_t* name;
    uint32_t size; /* bytes; only the low 32 bits for files of 4 GiB or more */
    int64_t time;  /* last write, seconds since 1970 UTC */
    uint32_t attributes;
} DLNK_FILE_INFO;

/* Caller-provided answer of DLNKGetFolderInfo; struct_size must be set to
 * sizeof(DLNK_FOLDER_CONTENT) (or more), the texts are the library's. */
typedef struct DLNK_FOLDER_CONTENT {
    uint32_t struct_size;
    wchar_t* path;        /* the folder as the library names it, e.g. "\\E:" */
    wchar_t* label;       /* label of the memory holding the folder */
    wchar_t* memory_type; /* "DEV" or "MMC" */
    uint32_t attributes;  /* DLNK_ATTRIBUTE_... */
    int64_t free_bytes;   /* free bytes of the memory */
    int64_t total_bytes;  /* capacity of the memory */
    int64_t used_bytes;   /* bytes used on the memory */
    int64_t tree_bytes;   /* DLNK_GET_FOLDER_TREE: bytes of every file below the folder */
} DLNK_FOLDER_CONTENT;

/* A file handed to DLNKWriteFile or returned by DLNKReadFile. */
typedef struct DLNK_FILE_DESC {
    wchar_t* name;   /* file name without folder; the library's text after a read */
    uint32_t length; /* bytes of the data block */
} DLNK_FILE_DESC;

/* The installer handed to DLNKInstallApplication: a local path, zero-padded. */
typedef struct DLNK_INSTALLER_DESC {
    wchar_t path[256];
} DLNK_INSTALLER_DESC;

/* An application installed on the phone. */
typedef struct DLNK_APPLICATION_INFO {
    wchar_t* name;
    wchar_t* version; /* null when unknown */
} DLNK_APPLICATION_INFO;

/* ---- Notification interfaces -------------------------------------------- */

#ifdef __cplusplus
/* Device notifications, called on the library's own thread. */
class IDMAPIDeviceNotify {
public:
    virtual DLNKRESULT OnDeviceListUpdated() = 0;
    virtual DLNKRESULT OnDeviceAdded(const wchar_t* serial_number, uint32_t status) = 0;
    virtual DLNKRESULT OnDeviceRemoved(const wchar_t* serial_number, uint32_t status) = 0;
    virtual DLNKRESULT OnDeviceUpdated(const wchar_t* serial_number, uint32_t status) = 0;

protected:
    ~IDMAPIDeviceNotify() = default;
};

/* File-system notifications of one handle, called on the library's thread
 * while a long operation (an installation) runs. */
class IFSAPINotify {
public:
    virtual DLNKRESULT OnFSOperationState(uint32_t function, uint32_t state, uint32_t transferred,
                                          uint32_t all_bytes) = 0;
    virtual DLNKRESULT OnFSConnectionLost(uint32_t status) = 0;
    /* A text the phone shows during the operation; answer 0. */
    virtual DLNKRESULT OnFSMessage(uint32_t code, const wchar_t* text) = 0;

protected:
    ~IFSAPINotify() = default;
};
#else
typedef struct IDMAPIDeviceNotify IDMAPIDeviceNotify;
struct IDMAPIDeviceNotifyVtbl {
    DLNKRESULT (*OnDeviceListUpdated)(IDMAPIDeviceNotify* self);
    DLNKRESULT (*OnDeviceAdded)(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status);
    DLNKRESULT (*OnDeviceRemoved)(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status);
    DLNKRESULT (*OnDeviceUpdated)(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status);
};
struct IDMAPIDeviceNotify {
    const struct IDMAPIDeviceNotifyVtbl* vtbl;
};

typedef struct IFSAPINotify IFSAPINotify;
struct IFSAPINotifyVtbl {
    DLNKRESULT(*OnFSOperationState)
    (IFSAPINotify* self, uint32_t function, uint32_t state, uint32_t transferred,
     uint32_t all_bytes);
    DLNKRESULT (*OnFSConnectionLost)(IFSAPINotify* self, uint32_t status);
    DLNKRESULT (*OnFSMessage)(IFSAPINotify* self, uint32_t code, const wchar_t* text);
};
struct IFSAPINotify {
    const struct IFSAPINotifyVtbl* vtbl;
};
#endif

/* ---- Module entry points ------------------------------------------------ */

/* Each takes the module version and a reserved null pointer. */
DEVLINX_API DLNKRESULT DMAPI_Initialize(uint32_t version, void* reserved);
DEVLINX_API DLNKRESULT DMAPI_Terminate(void* reserved);
DEVLINX_API DLNKRESULT FSAPI_Initialize(uint32_t version, void* reserved);
DEVLINX_API DLNKRESULT FSAPI_Terminate(void* reserved);
DEVLINX_API DLNKRESULT DIAPI_Initialize(uint32_t version, void* reserved);
DEVLINX_API DLNKRESULT DIAPI_Terminate(void* reserved);

/* ---- Device manager (DMAPI) -------------------------------------------- */

DEVLINX_API DLNKRESULT DLNKOpenDM(DLNKDMHANDLE* dm);
DEVLINX_API DLNKRESULT DLNKCloseDM(DLNKDMHANDLE dm);
/* option DLNK_DM_REGISTER or DLNK_DM_UNREGISTER. After unregistering returns,
 * the object receives no further call (unless unregistered from inside one). */
DEVLINX_API DLNKRESULT DLNKRegisterDMNotifyIF(DLNKDMHANDLE dm, uint32_t option,
                                              IDMAPIDeviceNotify* notify);
DEVLINX_API DLNKRESULT DLNKGetDeviceCount(DLNKDMHANDLE dm, uint32_t* count);
/* Fills up to *count caller-provided records; *count becomes the number filled. */
DEVLINX_API DLNKRESULT DLNKGetDevices(DLNKDMHANDLE dm, DLNK_DEVICE* devices, uint32_t* count);
DEVLINX_API DLNKRESULT DLNKGetDevice(DLNKDMHANDLE dm, const wchar_t* serial_number,
                                     DLNK_DEVICE* device);
/* Releases the texts of count records filled by DLNKGetDevices or DLNKGetDevice. */
DEVLINX_API DLNKRESULT DLNKFreeDeviceStructure(uint32_t count, DLNK_DEVICE* devices);

/* ---- Device information (DIAPI) ----------------------------------------- */

DEVLINX_API DLNKRESULT DLNKGetDeviceInfo(DLNKDMHANDLE dm, const wchar_t* serial_number,
                                         uint32_t kind, DLNK_DEVICE_INFO** info);
DEVLINX_API DLNKRESULT DLNKFreeDeviceInfoStructure(DLNK_DEVICE_INFO* info);

/* ---- Files (FSAPI) ----------------------------------------------------- */

/* media and device_id go in (0 or DLNK_MEDIA_ANY: any) and come back as the
 * phone's actual link and device id. */
DEVLINX_API DLNKRESULT DLNKOpenFS(const wchar_t* serial_number, uint32_t* media,
                                  uint32_t* device_id, DLNKFSHANDLE* fs);
DEVLINX_API DLNKRESULT DLNKCloseFS(DLNKFSHANDLE fs);

DEVLINX_API DLNKRESULT DLNKFindBegin(DLNKFSHANDLE fs, uint32_t option, const wchar_t* folder,
                                     DLNKFINDHANDLE* find);
DEVLINX_API DLNKRESULT DLNKFindNextFolder(DLNKFINDHANDLE find, DLNK_FOLDER_INFO** info);
DEVLINX_API DLNKRESULT DLNKFindNextFile(DLNKFINDHANDLE find, DLNK_FILE_INFO** info);
DEVLINX_API DLNKRESULT DLNKFindEnd(DLNKFINDHANDLE find);
DEVLINX_API DLNKRESULT DLNKFreeFolderInfoStructure(DLNK_FOLDER_INFO* info);
DEVLINX_API DLNKRESULT DLNKFreeFileInfoStructure(DLNK_FILE_INFO* info);

DEVLINX_API DLNKRESULT DLNKGetFolderInfo(DLNKFSHANDLE fs, uint32_t option, const wchar_t* path,
                                         DLNK_FOLDER_CONTENT* content);
DEVLINX_API DLNKRESULT DLNKFreeFolderContentStructure(DLNK_FOLDER_CONTENT* content);
DEVLINX_API DLNKRESULT DLNKGetFileInfo(DLNKFSHANDLE fs, const wchar_t* name, const wchar_t* folder,
                                       DLNK_FILE_INFO** info);

DEVLINX_API DLNKRESULT DLNKCreateFolder(DLNKFSHANDLE fs, const wchar_t* parent,
                                        const wchar_t* name);
DEVLINX_API DLNKRESULT DLNKDeleteFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* parent,
                                        const wchar_t* name);
DEVLINX_API DLNKRESULT DLNKDeleteFile(DLNKFSHANDLE fs, const wchar_t* folder, const wchar_t* name);
/* The file keeps its name in the target folder. */
DEVLINX_API DLNKRESULT DLNKMoveFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                                    const wchar_t* target_folder);
/* The folder becomes the target path. */
DEVLINX_API DLNKRESULT DLNKMoveFolder(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                                      const wchar_t* target);
/* With DLNK_COPY_FROM_PC the source is a local file of this computer. */
DEVLINX_API DLNKRESULT DLNKCopyFile(DLNKFSHANDLE fs, uint32_t option, const wchar_t* source,
                                    const wchar_t* target_folder);

/* file->name is the file to read; on success file->name is replaced by the
 * library's copy and *data holds file->length bytes. Free both with
 * DLNKFreeFileDataMemory. */
DEVLINX_API DLNKRESULT DLNKReadFile(DLNKFSHANDLE fs, const wchar_t* folder, DLNK_FILE_DESC* file,
                                    void** data);
/* Writes (replacing) the file with a block from DLNKAllocFileDataMemory. */
DEVLINX_API DLNKRESULT DLNKWriteFile(DLNKFSHANDLE fs, const DLNK_FILE_DESC* file, const void* data,
                                     const wchar_t* folder);
DEVLINX_API DLNKRESULT DLNKAllocFileDataMemory(uint32_t length, void** block);
DEVLINX_API DLNKRESULT DLNKFreeFileDataMemory(void* block);

/* ---- Installation (FSAPI) ---------------------------------------------- */

DEVLINX_API DLNKRESULT DLNKRegisterFSNotifyIF(DLNKFSHANDLE fs, uint32_t option,
                                              IFSAPINotify* notify);
/* Blocks until the phone has answered; progress reaches the handle's notify
 * object meanwhile. */
DEVLINX_API DLNKRESULT DLNKInstallApplication(DLNKFSHANDLE fs, uint32_t option,
                                              const DLNK_INSTALLER_DESC* installer, uint32_t flags,
                                              uint32_t reserved1, uint32_t reserved2);
/* Stops the operation running on the handle; callable from any thread. */
DEVLINX_API DLNKRESULT DLNKCancel(DLNKFSHANDLE fs);
DEVLINX_API DLNKRESULT DLNKListApplications(DLNKFSHANDLE fs, uint32_t option, uint32_t* count,
                                            DLNK_APPLICATION_INFO** applications);
DEVLINX_API DLNKRESULT DLNKFreeApplicationInfoStructures(uint32_t count,
                                                         DLNK_APPLICATION_INFO* applications);

#ifdef __cplusplus
}
#endif

#endif /* DEVLINX_DEVLINX_API_H */
