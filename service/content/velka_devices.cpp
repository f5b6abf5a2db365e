#include "service/content/velka_devices.h"

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/protocol/server_package.h"

namespace MapsService {

namespace {

std::wstring attribute(const ServerRecord& record, const wchar_t* name) {
    return record.attributes.value(name);
}

std::optional<std::int32_t> generation_of(const std::wstring& text) {
    try {
        return static_cast<std::int32_t>(wstring_to_uint32(text));
    } catch (const ConversionFailedException&) {
        TraceWarning(L"unknown property 'os': %s; valid values:310...599", text.c_str());
        return std::nullopt;
    }
}

}  // namespace

Result VelkaDevices::load(const std::wstring& serverUrl) {
    ScopeTrace scope("MapsService::VelkaDevices::load");
    {
        ScopedLock lock(&m_mutex);
        if (!m_devices.empty()) {
            return kResultOk;
        }
    }
    ServerPackage package(serverUrl, L"mclients", L"", L"", L"");
    const Result result = package.load();
    TraceInfo("GetPackage mclients returned with %d", result);
    if (result == kResultOk) {
        fill(package.records());
    }
    return result;
}

void VelkaDevices::fill(const std::vector<ServerRecord>& records) {
    std::map<std::wstring, Device> devices;
    for (const ServerRecord& record : records) {
        Device device;
        device.generation = generation_of(attribute(record, L"os"));
        const std::wstring kind = attribute(record, L"mapsversion");
        if (kind == L"cl") {
            device.mapsVersion = 1;
        } else if (kind == L"up") {
            device.mapsVersion = 0;
        } else {
            TraceWarning(L"unknown property 'mapsversion': %s; valid values:'cl', 'up'",
                         kind.c_str());
            continue;
        }
        devices[to_lower(record.name)] = device;
    }
    ScopedLock lock(&m_mutex);
    m_devices = std::move(devices);
}

void VelkaDevices::clear() {
    ScopedLock lock(&m_mutex);
    m_devices.clear();
}

std::optional<VelkaDevices::Device> VelkaDevices::find(const std::wstring& model) const {
    ScopedLock lock(&m_mutex);
    const auto found = m_devices.find(to_lower(model));
    if (found == m_devices.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::int32_t> VelkaDevices::generation(const std::wstring& model) const {
    const auto device = find(model);
    return device ? device->generation : std::nullopt;
}

VelkaDevices& velka_devices() {
    static VelkaDevices* devices = new VelkaDevices();
    return *devices;
}

}  // namespace MapsService
