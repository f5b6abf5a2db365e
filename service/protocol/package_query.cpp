#include "service/protocol/package_query.h"

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"

namespace MapsService {

namespace {

bool encode_request_items(Encode& encoder, const PackageQuery& query, std::int32_t pageOffset,
                          std::int32_t pageSize) {
    using namespace tlv;
    bool ok = encoder.add_uint16(kTagRequestType, kPackageRequestType) &&
              encoder.add_string(kTagPackageName, query.name.c_str()) &&
              encoder.add_uint32(kTagRequestVariant, kPackageRequestVariant);
    if (ok && !query.language.empty()) {
        ok = encoder.add_wide_string(kTagLanguage, to_wide(query.language).c_str());
    }
    if (ok && !query.version.empty()) {
        ok = encoder.add_string(kTagPropertyName, kPropertyVersion) &&
             encoder.add_wide_string(kTagPropertyValue, to_wide(query.version).c_str());
    }
    if (ok && !query.operatingSystem.empty()) {
        ok = encoder.add_string(kTagPropertyName, kPropertyOperatingSystem) &&
             encoder.add_string(kTagPropertyValue, query.operatingSystem.c_str());
    }
    return ok && encoder.add_flag(kTagRequestFlag, kPackageRequestFlag) &&
           encoder.add_uint32(kTagPageSize, static_cast<std::uint32_t>(pageSize)) &&
           encoder.add_uint32(kTagPageOffset, static_cast<std::uint32_t>(pageOffset)) &&
           encoder.add_end();
}

}  // namespace

bool encode_url_request(std::wstring& url, const std::string& serverUrl, const PackageQuery& query,
                        std::int32_t pageOffset, std::int32_t pageSize) {
    std::string path = serverUrl;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += "pg?";
    TraceDebug("%s package:%s lang:%s version:%s os:%s offset:%d size:%d",
               "MapsService::URL_Helper::encode_url_request", query.name.c_str(),
               query.language.c_str(), query.version.c_str(), query.operatingSystem.c_str(),
               pageOffset, pageSize);
    char text[kRequestQueryCapacity + 1] = {};
    Encode encoder(text, kRequestQueryCapacity, Encode::kHexMode);
    if (!encode_request_items(encoder, query, pageOffset, pageSize)) {
        return false;
    }
    std::wstring result = to_wide(path + text);
    if (result.size() >= kRequestUrlCapacity) {
        return false;
    }
    url = std::move(result);
    return true;
}

}  // namespace MapsService
