#include "service/phones/device_side.h"

#include <memory>
#include <string>
#include <vector>

#include "service/content/velka_devices.h"
#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/phone_manager.h"

namespace MapsService {

namespace {

std::wstring text_of(const wchar_t* text) {
    return text == nullptr ? std::wstring() : std::wstring(text);
}

const wchar_t* yes_no(bool value) {
    return value ? L"yes" : L"no";
}

struct TypeCode {
    std::uint32_t code;
    std::int32_t deviceType;
};

constexpr TypeCode kDeviceTypes[] = {
    {DLNK_TYPE_SERIES_A, 1}, {DLNK_TYPE_SERIES_B, 2}, {DLNK_TYPE_SERIES_C, 3},
    {DLNK_TYPE_SERIES_D, 4}, {DLNK_TYPE_SERIES_E, 5},
};

// A device information record, freed by the library on every way out.
class DeviceInfo {
public:
    DLNKRESULT fetch(const std::wstring& serial, std::uint32_t kind) {
        return Devlinx::DLNKGetDeviceInfo(LinkdeckFileSystem::device_manager(), serial.c_str(),
                                          kind, &m_info);
    }
    ~DeviceInfo() { release(); }
    void release() {
        if (m_info != nullptr) {
            Devlinx::DLNKFreeDeviceInfoStructure(m_info);
            m_info = nullptr;
        }
    }
    const DLNK_DEVICE_INFO* operator->() const { return m_info; }

private:
    DLNK_DEVICE_INFO* m_info = nullptr;
};

void read_imsi(Phone& phone, const std::wstring& name, const std::wstring& serial) {
    DeviceInfo info;
    const DLNKRESULT status = info.fetch(serial, DLNK_INFO_KIND_IMSI);
    std::wstring imsi;
    if (status == DLNK_OK) {
        imsi = text_of(info->imsi);
        TraceInfo(L"imsi of phone %s = %s", name.c_str(), imsi.c_str());
    } else {
        TraceWarning(L"imsi of phone %s not available (ret=0x%X)", name.c_str(),
                     static_cast<unsigned>(status));
    }
    phone.set_imsi(imsi);
}

void read_general_info(Phone& phone, const std::wstring& name, const std::wstring& serial) {
    DeviceInfo info;
    const DLNKRESULT status = info.fetch(serial, DLNK_INFO_KIND_GENERAL);
    if (status != DLNK_OK) {
        TraceError(L"DLNKGetDeviceInfo() with phone %s failed (ret=0x%X)", name.c_str(),
                   static_cast<unsigned>(status));
        return;
    }
    phone.set_can_install_sis((info->features & DLNK_FEATURE_SIS_INSTALL) != 0);
    phone.set_can_list_applications((info->features & DLNK_FEATURE_APPLICATION_LIST) != 0);
    phone.set_model_name(text_of(info->model));
    phone.set_device_type(device_type_of(info->type_code));
    TraceDebug("start DLNKFreeDeviceInfoStructure");
    info.release();
    TraceDebug("finished DLNKFreeDeviceInfoStructure");
}

void read_device_generation(Phone& phone, const std::wstring& serial) {
    const std::wstring model = phone.model_name();
    if (const auto generation = velka_devices().generation(model)) {
        TraceInfo(L"device generation for model %s found in package 'mclients': %d", model.c_str(),
                  *generation);
        phone.set_device_generation(*generation);
        return;
    }
    TraceInfo(L"device generation for model %s not found in package 'mclients'", model.c_str());
    DeviceInfo info;
    if (info.fetch(serial, DLNK_INFO_KIND_GENERATION) == DLNK_OK) {
        phone.set_device_generation(info->generation);
    }
}

// A file-system handle on the phone and a listing in it, closed on every way out.
struct FolderWalk {
    DLNKFSHANDLE fs = nullptr;
    DLNKFINDHANDLE find = nullptr;
    ~FolderWalk() {
        if (find != nullptr) {
            Devlinx::DLNKFindEnd(find);
        }
        if (fs != nullptr) {
            Devlinx::DLNKCloseFS(fs);
        }
    }
};

struct FolderRecord {
    DLNK_FOLDER_INFO* info = nullptr;
    ~FolderRecord() {
        if (info != nullptr) {
            Devlinx::DLNKFreeFolderInfoStructure(info);
        }
    }
};

}  // namespace

std::int32_t device_type_of(std::uint32_t typeCode) {
    for (const TypeCode& entry : kDeviceTypes) {
        if (entry.code == typeCode) {
            return entry.deviceType;
        }
    }
    return 0;
}

Result get_phones_list(DLNKDMHANDLE deviceManager) {
    std::uint32_t count = 0;
    if (Devlinx::DLNKGetDeviceCount(deviceManager, &count) != DLNK_OK) {
        return kResultFailed;
    }
    if (count == 0) {
        return kResultOk;
    }
    std::vector<DLNK_DEVICE> records(count);
    const DLNKRESULT status = Devlinx::DLNKGetDevices(deviceManager, records.data(), &count);
    if (status != DLNK_OK) {
        // The phones went between counting and listing; none to add.
        TraceWarning(L"DLNKGetDevices() failed with 0x%X", static_cast<unsigned>(status));
        return kResultOk;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const DLNK_DEVICE& record = records[i];
        if (record.serial_number == nullptr || record.serial_number[0] == L'\0') {
            continue;
        }
        try {
            add_device(record, 0);
        } catch (...) {
            TraceError("exception in get_phones_list( ) while enumerating phones");
        }
    }
    Devlinx::DLNKFreeDeviceStructure(count, records.data());
    return kResultOk;
}

void add_device(const DLNK_DEVICE& record, std::uint32_t media) {
    Phone* phone = PhoneManager::AddPhone(text_of(record.name), text_of(record.serial_number));
    phone->set_model_name(text_of(record.model));
    phone->set_extra_text(text_of(record.extra));
    get_phone_properties(*phone);
    enumerate_phone_drives(*phone, media);
}

void get_phone_properties(Phone& phone) {
    const std::wstring name = phone.name();
    const std::wstring serial = phone.serial_number();
    TraceInfo(L"start get_phone_properties for phone %s", name.c_str());
    try {
        read_imsi(phone, name, serial);
        read_general_info(phone, name, serial);
        read_device_generation(phone, serial);
        TraceInfo(L"model name of phone %s = %s", name.c_str(), phone.model_name().c_str());
        TraceInfo(L"device type of phone %s = %d", name.c_str(), phone.device_type());
        TraceInfo(L"device generation of phone %s = %d", name.c_str(), phone.device_generation());
        TraceInfo(L"device supports SIS applications' installation: %s",
                  yes_no(phone.can_install_sis()));
        TraceInfo(L"device supports installed applications' listing: %s",
                  yes_no(phone.can_list_applications()));
        TraceInfo(L"finished get_phone_properties for phone %s", name.c_str());
    } catch (...) {
        TraceError("exception in get_phone_properties( )");
    }
}

void enumerate_phone_drives(Phone& phone, std::uint32_t media) {
    if (media == 0) {
        media = DLNK_MEDIA_ANY;
    }
    const std::wstring name = phone.name();
    const std::wstring serial = phone.serial_number();
    std::uint32_t deviceId = 0;
    FolderWalk walk;
    if (Devlinx::DLNKOpenFS(serial.c_str(), &media, &deviceId, &walk.fs) != DLNK_OK) {
        walk.fs = nullptr;
        TraceError(L"DLNKOpenFS() failed for phone %s", name.c_str());
        return;
    }
    TraceInfo(L"DLNKOpenFS returned: phone:%s media:0x%X dev_id:0x%X", name.c_str(), media,
              deviceId);
    if (Devlinx::DLNKFindBegin(walk.fs, DLNK_FIND_FOLDERS, L"\\", &walk.find) != DLNK_OK) {
        walk.find = nullptr;
        return;
    }
    while (true) {
        FolderRecord folder;
        if (Devlinx::DLNKFindNextFolder(walk.find, &folder.info) != DLNK_OK) {
            folder.info = nullptr;
            break;
        }
        if (folder.info->memory_type == nullptr) {
            continue;
        }
        const std::wstring folderName = text_of(folder.info->name);
        TraceInfo(L"DLNKFindNextFolder found: name:%s label:%s type:%s", folderName.c_str(),
                  text_of(folder.info->label).c_str(), folder.info->memory_type);
        std::unique_ptr<FileSystem> fileSystem;
        try {
            fileSystem =
                std::make_unique<LinkdeckFileSystem>(serial, media, deviceId, L"\\\\" + folderName);
        } catch (const FileSystemConstructionException& e) {
            TraceError(L"construction of filesystem object failed: %s - %s", folderName.c_str(),
                       e.text().c_str());
            continue;
        }
        PhoneManager::AddPhoneDrive(&phone, std::move(fileSystem), true);
    }
}

}  // namespace MapsService
