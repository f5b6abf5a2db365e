#include "service/protocol/catalog_writer.h"

#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"
#include "service/protocol/utf16.h"

namespace MapsService {

namespace {

constexpr std::size_t kItemHeader = 3;

std::size_t wide_item_size(std::wstring_view text) {
    return kItemHeader + 2 * (utf16_length(text) + 1);
}

}  // namespace

bool CatalogWriter::add(const ServerRecord& record) {
    using namespace tlv;
    std::size_t size = wide_item_size(record.name) + 2 * (kItemHeader + 4) + kItemHeader;
    for (const auto& [name, value] : record.attributes) {
        size += wide_item_size(name) + wide_item_size(value);
    }
    const std::size_t start = m_stream.size();
    m_stream.resize(start + size);
    Encode encoder(m_stream.data() + start, size, 0);
    bool ok = encoder.add_wide_string(kTagRecordName, record.name.c_str()) &&
              encoder.add_uint32(kTagRecordId, static_cast<std::uint32_t>(record.id)) &&
              encoder.add_uint32(kTagRecordParentId, static_cast<std::uint32_t>(record.parentId));
    for (const auto& [name, value] : record.attributes) {
        ok = ok && encoder.add_wide_string(kTagAttributeName, name) &&
             encoder.add_wide_string(kTagAttributeValue, value);
    }
    ok = ok && encoder.add_empty(kTagRecordEnd);
    m_stream.resize(ok ? start + encoder.size() : start);
    return ok;
}

std::vector<std::uint8_t> CatalogWriter::bytes() const {
    std::vector<std::uint8_t> reply = m_stream;
    reply.insert(reply.end(), {0, 0, 0});
    return reply;
}

std::string CatalogWriter::hex() const {
    return to_hex(bytes());
}

std::string to_hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * bytes.size());
    for (std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

}  // namespace MapsService
