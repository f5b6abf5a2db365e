#include "service/protocol/server_package.h"

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/tlv_tags.h"

namespace MapsService {

ServerPackage::ServerPackage(std::wstring serverUrl, std::wstring packageName,
                             std::wstring language, std::wstring version,
                             std::wstring operatingSystem)
    : m_packageName(std::move(packageName)),
      m_language(std::move(language)),
      m_version(std::move(version)),
      m_operatingSystem(std::move(operatingSystem)),
      m_contentType(tlv::kContentType),
      m_serverUrl(std::move(serverUrl)) {
    ScopeTrace scope("MapsService::ServerPackage::ServerPackage");
}

Result ServerPackage::load() {
    ScopeTrace scope("MapsService::ServerPackage::load");
    m_records.clear();
    TraceInfo(L"GetPackage( ) called: server=%s package=%s", m_serverUrl.c_str(),
              m_packageName.c_str());
    const Result result = download();
    TraceDebug(L"GetPackage %s returned with %d", m_packageName.c_str(), result);
    return result;
}

void ServerPackage::clear() {
    m_loaded = false;
    m_records.clear();
}

void ServerPackage::get_addons(const std::vector<std::int32_t>&, std::vector<URLInfo>&) {}

std::size_t ServerPackage::copy_records(std::vector<ServerRecord>& out) const {
    out.insert(out.end(), m_records.begin(), m_records.end());
    return out.size();
}

std::size_t ServerPackage::convert_records(std::vector<URLInfo>& out) {
    for (const ServerRecord& record : m_records) {
        out.push_back(convert_item(record));
    }
    return out.size();
}

std::int32_t ServerPackage::convert_id(std::int32_t id) {
    return id;
}

std::int32_t ServerPackage::item_id(const ServerRecord& record) {
    return record.id;
}

Result ServerPackage::download() {
    ScopeTrace scope("MapsService::ServerPackage::download");
    const PackageQuery query{to_narrow(m_packageName), to_narrow(m_language), to_narrow(m_version),
                             to_narrow(m_operatingSystem)};
    const Result result = fetch_package(m_serverUrl, m_contentType, query, m_records);
    m_loaded = result == kResultOk && !m_records.empty();
    return result;
}

URLInfo ServerPackage::convert_item(const ServerRecord&) {
    return URLInfo();
}

std::wstring ServerPackage::get_attribute(const ServerRecord& record,
                                          const std::wstring& name) const {
    const auto found = record.attributes.find(name);
    if (!found) {
        TraceWarning(L"attribute %s not found", name.c_str());
        return {};
    }
    return std::wstring(*found);
}

}  // namespace MapsService
