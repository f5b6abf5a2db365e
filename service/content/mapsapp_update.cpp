#include "service/content/mapsapp_update.h"

#include "service/content/maps_app_package.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/content/velka_devices.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

constexpr std::int32_t kLowestDeviceType = 2;

struct Platform {
    std::int32_t fromGeneration;
    const wchar_t* text;
    const char* found;
};

// Highest first: the first entry whose lower bound the generation reaches.
constexpr Platform kPlatforms[] = {
    {500, L"5.0", "QTV 5.0 found"},
    {330, L"3.3", "QTV 3.3 found"},
    {320, L"3.2", "QTV 3.2 found"},
    {310, L"3.1", "QTV 3.1 found"},
};

const Platform* platform_for(std::int32_t generation) {
    for (const Platform& platform : kPlatforms) {
        if (generation >= platform.fromGeneration) {
            return &platform;
        }
    }
    return nullptr;
}

MapsappVersionInfo version_attribute(const std::wstring& text) {
    if (text.empty()) {
        return MapsappVersionInfo();
    }
    try {
        return MapsappVersionInfo(VersionInfo::parse(text));
    } catch (const ConversionFailedException&) {
        TraceWarning(L"installer version is no version: %s", text.c_str());
        return MapsappVersionInfo();
    }
}

}  // namespace

std::optional<std::wstring> platform_text_for_generation(std::int32_t generation) {
    const Platform* platform = platform_for(generation);
    return platform != nullptr ? std::optional<std::wstring>(platform->text) : std::nullopt;
}

std::optional<ServerRecord> choose_installer(const std::vector<ServerRecord>& items,
                                             std::int32_t generation, bool newClients) {
    for (const ServerRecord& item : items) {
        if (!item.attributes.contains(L"mandatory_version") ||
            (item_attribute(item, L"client") == L"new") != newClients) {
            continue;
        }
        TraceInfo("reported device generation: %d", generation);
        const Platform* platform = platform_for(generation);
        if (platform == nullptr) {
            TraceWarning(L"unknown device generation: %d", generation);
            continue;
        }
        if (item_attribute(item, L"mandatory_version") == platform->text) {
            TraceInfo("%s", platform->found);
            return item;
        }
    }
    return std::nullopt;
}

MapsUpdateInfo describe_installer(const ServerRecord& item) {
    MapsUpdateInfo info;
    info.itemId = item.id;
    info.description = item_attribute(item, L"description");
    info.title = item_attribute(item, L"title");
    info.newVersion = version_attribute(item_attribute(item, L"client_version"));
    if (info.newVersion.is_valid()) {
        info.newVersion.read_build_text(item_attribute(item, L"build"));
    }
    info.mandatoryVersion = version_attribute(item_attribute(item, L"mandatory_version"));
    info.contentSize = item_size(item, L"content_size");
    return info;
}

Result PhoneDrive::get_mapsapp_update_info(MapsUpdateInfo& info) {
    ScopeTrace scope("MapsService::PhoneDrive::get_mapsapp_update_info");
    if (m_phone == nullptr) {
        return kResultInvalidDrive;
    }
    const Result loaded = maps_app_package().Load(server_url());
    if (loaded != kResultOk) {
        return loaded;
    }
    if (m_phone->device_type() < kLowestDeviceType) {
        return kResultNoUpdateInfo;
    }
    const auto device = velka_devices().find(m_phone->model_name());
    const bool newClients = device && device->mapsVersion == 1;
    const auto item =
        choose_installer(maps_app_package().items(), m_phone->device_generation(), newClients);
    if (!item) {
        return kResultNoUpdateInfo;
    }
    info = describe_installer(*item);
    return kResultOk;
}

}  // namespace MapsService
