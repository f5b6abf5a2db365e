#include "service/content/maps_app_package.h"

#include "service/content/content_text.h"
#include "service/content/quota_file.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/protocol/package_fetch.h"

namespace MapsService {

namespace {

constexpr const wchar_t* kBuildPrefix = L"build:";

std::wstring without_build_prefix(const std::wstring& build) {
    const std::size_t length = std::wstring(kBuildPrefix).size();
    if (to_lower(build.substr(0, length)) == kBuildPrefix) {
        return build.substr(length);
    }
    return build;
}

}  // namespace

Result MapsAppPackage::Load(const std::wstring& serverUrl) {
    ScopeTrace scope("MapsService::MapsAppPackage::Load");
    {
        ScopedLock lock(&m_mutex);
        if (!m_items.empty()) {
            return kResultOk;
        }
    }
    // Fetched outside the lock, which guards short steps only; of two loads
    // racing, the first to finish fills the catalog.
    std::vector<ServerRecord> items;
    const Result result = PackageRequest(serverUrl, items).fetch("touchfw", "", "", "");
    TraceInfo("GetPackage touchfw returned with %d", result);
    if (result == kResultOk) {
        ScopedLock lock(&m_mutex);
        if (m_items.empty()) {
            m_items = std::move(items);
        }
    }
    return result;
}

void MapsAppPackage::clear() {
    ScopedLock lock(&m_mutex);
    m_items.clear();
}

std::vector<ServerRecord> MapsAppPackage::items() const {
    ScopedLock lock(&m_mutex);
    return m_items;
}

std::optional<ServerRecord> MapsAppPackage::find_item(std::int32_t id) const {
    ScopedLock lock(&m_mutex);
    for (const ServerRecord& item : m_items) {
        if (item.id == id) {
            return item;
        }
    }
    return std::nullopt;
}

MapsAppPackage& maps_app_package() {
    static MapsAppPackage* package = new MapsAppPackage();
    return *package;
}

std::wstring item_attribute(const ServerRecord& item, const wchar_t* name) {
    return item.attributes.value(name);
}

std::uint64_t item_size(const ServerRecord& item, const wchar_t* name) {
    try {
        return wstring_to_uint64(item_attribute(item, name));
    } catch (const ConversionFailedException&) {
        return 0;
    }
}

Result update_quota_after_install(QuotaFile& quota, const std::wstring& clientId,
                                  const std::wstring& clientVersion, const std::wstring& build) {
    bool changed = false;
    if (!clientId.empty() && clientId != quota.client_id()) {
        quota.set_client_id(clientId);
        changed = true;
    }
    VersionInfo version;
    try {
        version = VersionInfo::parse(clientVersion);
    } catch (const ConversionFailedException&) {
        TraceWarning(L"client version of the installer is no version: %s", clientVersion.c_str());
    }
    if (version.is_valid() && !(version == quota.client_version())) {
        quota.set_client_version(version);
        changed = true;
    }
    const std::wstring newBuild = without_build_prefix(build);
    if (newBuild != quota.build()) {
        quota.set_build(newBuild);
        changed = true;
    }
    return changed ? quota.write() : kResultOk;
}

}  // namespace MapsService
