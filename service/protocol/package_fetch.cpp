#include "service/protocol/package_fetch.h"

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/catalog_reply.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/tlv_tags.h"

namespace MapsService {

namespace {

// Far beyond any real catalog (a million records): a server that keeps
// answering full pages must not keep us here for ever.
constexpr int kMostPages = 2000;

}  // namespace

Result fetch_package(const std::wstring& serverUrl, const std::wstring& contentType,
                     const PackageQuery& query, std::vector<ServerRecord>& records) {
    const char* name = query.name.c_str();
    TraceInfo("Download package %s language:%s version:%s", name, query.language.c_str(),
              query.version.c_str());
    const std::string server = to_narrow(serverUrl);
    std::int32_t offset = 0;
    std::int32_t total = 0;
    std::size_t added = 0;
    std::vector<std::uint8_t> previous;
    int pages = 0;
    do {
        if (++pages > kMostPages) {
            TraceError("package %s: more than %d pages, giving up", name, kMostPages);
            return kResultServerError;
        }
        std::wstring url;
        if (!encode_url_request(url, server, query, offset, kPageSize)) {
            TraceError("error while encoding url for package %s", name);
            return kResultFailed;
        }
        std::vector<std::uint8_t> body;
        const Result result = create_memory_downloader(url)->Download(body, contentType);
        if (result != kResultOk) {
            TraceError("error while downloading package %s", name);
            return result;
        }
        // A server that ignores the offset sends the same full page again and again.
        if (pages > 1 && body == previous) {
            TraceError("package %s: page at offset %d repeats the one before", name,
                       static_cast<int>(offset));
            return kResultServerError;
        }
        added = decode_catalog_reply(body.data(), body.size(), records);
        previous = std::move(body);
        total += static_cast<std::int32_t>(added);
        offset += static_cast<std::int32_t>(added);
        TraceInfo("  %d items read (total:%d) for package %s", static_cast<int>(added), total,
                  name);
    } while (added == static_cast<std::size_t>(kPageSize));
    TraceInfo("Download package %s - %d items decoded", name, total);
    return kResultOk;
}

PackageRequest::PackageRequest(std::wstring serverUrl, std::vector<ServerRecord>& records)
    : m_serverUrl(std::move(serverUrl)), m_contentType(tlv::kContentType), m_records(records) {}

Result PackageRequest::fetch(const std::string& packageName, const std::string& language,
                             const std::string& version, const std::string& operatingSystem) {
    return fetch_package(m_serverUrl, m_contentType,
                         PackageQuery{packageName, language, version, operatingSystem}, m_records);
}

}  // namespace MapsService
