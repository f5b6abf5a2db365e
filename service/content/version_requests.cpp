#include "service/content/version_requests.h"

#include <array>
#include <optional>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/server_url.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"

namespace MapsService {

namespace {

constexpr std::size_t kUrlBufferSize = 256;
constexpr std::size_t kUrlSlack = 10;

constexpr std::uint8_t kTagMapVersion[] = {23, 24, 26, 27};
constexpr std::uint8_t kTagClientVersion[] = {72, 73, 74, 75};
constexpr std::uint8_t kTagAnswerVersion[] = {40, 41, 42, 43};
constexpr std::uint8_t kTagListLength = 3;
constexpr std::uint8_t kTagCategoryFlag = 99;
constexpr std::uint8_t kTagCategoryLevel = 64;
constexpr std::uint8_t kTagHeaderKind = 22;
constexpr std::uint8_t kTagHeaderMask = 25;

struct RequestShape {
    const char* label;
    const char* path;
    std::uint16_t type;
    const wchar_t* contentType;
};

RequestShape shape_of(VersionRequest request) {
    switch (request) {
        case VersionRequest::ServerVersion:
        case VersionRequest::VersionList:
            return {"ver", "vt", 4, L"application/x-tlv"};
        case VersionRequest::CategoryTree:
            return {"cat", "ct", 7, L"application/x-tlv"};
        case VersionRequest::CachedatHeader:
            break;
    }
    return {"map", "qb", 0, L"application/x-hdr"};
}

std::uint32_t part(const VersionInfo& version, std::size_t index) {
    const std::uint32_t parts[] = {version.a(), version.b(), version.c(), version.d()};
    return parts[index];
}

bool encode_common(Encode& encode, std::uint16_t type, const VersionInfo& clientVersion,
                   const VersionInfo& mapVersion) {
    TraceDebug(L"%s type=%d client-version=%s map-version=%s",
               L"MapsService::VersionManager::encode", type, clientVersion.to_text().c_str(),
               mapVersion.to_text().c_str());
    bool ok = encode.add_uint16(tlv::kTagRequestType, type);
    for (std::size_t i = 0; ok && i < 4; ++i) {
        if (part(mapVersion, i) != 0) {
            ok = encode.add_uint32(kTagMapVersion[i], part(mapVersion, i));
        }
    }
    for (std::size_t i = 0; ok && i < 4; ++i) {
        if (part(clientVersion, i) != 0) {
            ok = encode.add_uint32(kTagClientVersion[i], part(clientVersion, i));
        }
    }
    return ok;
}

bool encode_specific(Encode& encode, VersionRequest request) {
    switch (request) {
        case VersionRequest::ServerVersion:
            return true;
        case VersionRequest::VersionList:
            return encode.add_uint32(kTagListLength, 64);
        case VersionRequest::CategoryTree: {
            const std::uint8_t flag = 0xFF;
            return encode.add(kTagCategoryFlag, &flag, 1) &&
                   encode.add_uint32(kTagCategoryLevel, 1) &&
                   encode.add_uint32(kTagListLength, 100);
        }
        case VersionRequest::CachedatHeader: {
            const std::uint32_t mask[8] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFF9FF, 0, 0, 0, 0, 0};
            return encode.add_uint32(kTagHeaderKind, 0) &&
                   encode.add_uint32_array(kTagHeaderMask, mask, 8);
        }
    }
    return false;
}

// Walks the answer's items; `take` sees each version tag, `end` each record end.
template <typename Take, typename End>
void walk_answer(const std::vector<std::uint8_t>& answer, Take take, End end) {
    const Decode decode(answer.data(), answer.size(), Decode::kDetect);
    for (const TlvItem& item : decode.items()) {
        if (item.tag == tlv::kTagRecordEnd) {
            end();
            continue;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            if (item.tag == kTagAnswerVersion[i]) {
                if (const auto value = Decode::value_uint32(item)) {
                    take(i, *value);
                }
            }
        }
    }
}

VersionInfo with_part(const VersionInfo& version, std::size_t index, std::uint32_t value) {
    std::array<std::uint32_t, 4> parts{version.a(), version.b(), version.c(), version.d()};
    parts[index] = value;
    return VersionInfo(parts[0], parts[1], parts[2], parts[3]);
}

}  // namespace

VersionServer version_server(const std::wstring& serverUrl) {
    std::string why;
    const auto url = parse_server_url(to_narrow(serverUrl), why);
    if (!url) {
        return {};
    }
    VersionServer server{url->scheme, url->authority(), true};
    const auto dot = url->host.find('.');
    if (url->host_is_address() || dot == std::string::npos) {
        // An address or a one-label name serves every service itself.
        server.labelled = false;
        server.host += url->path;
    } else {
        server.host.erase(0, dot + 1);
    }
    return server;
}

bool build_version_request_url(VersionRequest request, const VersionServer& server,
                               const VersionInfo& clientVersion, const VersionInfo& mapVersion,
                               std::string& url) {
    if (server.host.empty()) {
        TraceError("no map server known for the version service");
        return false;
    }
    const RequestShape shape = shape_of(request);
    const std::string fixed = server.scheme + "://" +
                              (server.labelled ? std::string(shape.label) + "." : std::string()) +
                              server.host + "/" + shape.path + "?";
    if (fixed.size() + kUrlSlack > kUrlBufferSize) {
        TraceError("version server host too long: %s", server.host.c_str());
        return false;
    }
    std::array<char, kUrlBufferSize> buffer{};
    Encode encode(buffer.data() + fixed.size(), kUrlBufferSize - fixed.size(), Encode::kHexMode);
    if (!encode_common(encode, shape.type, clientVersion, mapVersion) ||
        !encode_specific(encode, request) || !encode.add_end()) {
        TraceError("version request does not fit its URL buffer");
        return false;
    }
    url = fixed + std::string(buffer.data() + fixed.size(), encode.size());
    return true;
}

Result fetch_version_request(const std::wstring& serverUrl, VersionRequest request,
                             const VersionInfo& clientVersion, const VersionInfo& mapVersion,
                             std::vector<std::uint8_t>& answer) {
    std::string url;
    if (!build_version_request_url(request, version_server(serverUrl), clientVersion, mapVersion,
                                   url)) {
        return kResultFailed;
    }
    answer.clear();
    return create_memory_downloader(to_wide(url))->Download(answer, shape_of(request).contentType);
}

VersionInfo decode_server_version(const std::vector<std::uint8_t>& answer, bool& complete) {
    VersionInfo version;
    std::array<bool, 4> seen{};
    walk_answer(
        answer,
        [&](std::size_t index, std::uint32_t value) {
            version = with_part(version, index, value);
            seen[index] = true;
        },
        [] {});
    complete = seen[0] && seen[1] && seen[2];
    return version;
}

std::vector<VersionInfo> decode_version_list(const std::vector<std::uint8_t>& answer) {
    std::vector<VersionInfo> list;
    VersionInfo current;
    walk_answer(
        answer,
        [&](std::size_t index, std::uint32_t value) { current = with_part(current, index, value); },
        [&] {
            list.push_back(current);
            current = VersionInfo();
        });
    return list;
}

}  // namespace MapsService
