#include "mapserver/answers.h"

#include <algorithm>

#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"

namespace atlasync::mapserver {

namespace {

namespace tlv = MapsService::tlv;

constexpr std::uint16_t kVersionRequestType = 4;
constexpr std::uint8_t kTagVersionPart = 40;  // 40, 41, 42, 43: a, b, c, d
constexpr std::size_t kItemBytes = 3 + 4;

void replace_all(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (auto at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Appends the version's parts that are set; false when the buffer is too small.
bool add_version(MapsService::Encode& encoder, const MapVersion& version) {
    for (std::size_t i = 0; i < version.parts.size(); ++i) {
        if (version.parts[i] != MapVersion::kUnset &&
            !encoder.add_uint32(static_cast<std::uint8_t>(kTagVersionPart + i), version.parts[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string encoded(const std::vector<std::uint8_t>& stream, Encoding encoding) {
    if (encoding == Encoding::Hex) {
        return MapsService::to_hex(stream);
    }
    return std::string(stream.begin(), stream.end());
}

std::string catalog_page(const CatalogVariant& variant, const PackageQuery& query,
                         const std::string& root) {
    const std::wstring placeholder = L"{root}";
    const std::wstring wideRoot(root.begin(), root.end());
    MapsService::CatalogWriter writer;
    const std::size_t count = variant.records.size();
    const std::size_t first = std::min<std::size_t>(query.pageOffset, count);
    const std::size_t last = first + std::min<std::size_t>(query.pageSize, count - first);
    for (std::size_t i = first; i < last; ++i) {
        MapsService::ServerRecord record = variant.records[i];
        MapsService::RecordAttributes rooted;
        for (const auto& [key, value] : record.attributes) {
            std::wstring text(value);
            replace_all(text, placeholder, wideRoot);
            rooted.set(key, text);
        }
        record.attributes = std::move(rooted);
        // Texts were checked when the catalog was read; only an enormous root could fail here.
        if (!writer.add(record)) {
            break;
        }
    }
    return encoded(writer.bytes(), variant.encoding);
}

std::string server_version_answer(const MapVersion& version, Encoding encoding) {
    std::vector<std::uint8_t> stream(5 + 4 * kItemBytes + 3);
    MapsService::Encode encoder(stream.data(), stream.size(), 0);
    const bool ok = encoder.add_uint16(tlv::kTagRequestType, kVersionRequestType) &&
                    add_version(encoder, version) && encoder.add_end();
    stream.resize(ok ? encoder.size() : 0);
    return encoded(stream, encoding);
}

std::string version_list_answer(const std::vector<MapVersion>& versions, Encoding encoding) {
    std::vector<std::uint8_t> stream(versions.size() * (4 * kItemBytes + 3) + 3);
    MapsService::Encode encoder(stream.data(), stream.size(), 0);
    bool ok = true;
    for (const auto& version : versions) {
        ok = ok && add_version(encoder, version) && encoder.add_empty(tlv::kTagRecordEnd);
    }
    ok = ok && encoder.add_end();
    stream.resize(ok ? encoder.size() : 0);
    return encoded(stream, encoding);
}

}  // namespace atlasync::mapserver
