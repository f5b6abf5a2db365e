#include "service/protocol/catalog_reply.h"

#include <optional>

#include "service/core/trace.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_tags.h"
#include "service/protocol/utf16.h"

namespace MapsService {

namespace {

// The record being gathered and the values seen since the last record end.
// Texts stay undecoded in the stream until the record or attribute is complete,
// then go straight into the record's buffers.
class RecordBuilder {
public:
    explicit RecordBuilder(std::vector<ServerRecord>& out) : m_out(out) {}

    void take(const TlvItem& item) {
        using namespace tlv;
        switch (item.tag) {
            case kTagRecordName:
                keep_if_wide_string(m_name, item);
                break;
            case kTagRecordId:
                replace_if_valid(m_id, Decode::value_uint32(item));
                break;
            case kTagRecordParentId:
                replace_if_valid(m_parentId, Decode::value_uint32(item));
                break;
            case kTagAttributeName:
                keep_if_wide_string(m_attributeName, item);
                store_attribute();
                break;
            case kTagAttributeValue:
                keep_if_wide_string(m_attributeValue, item);
                store_attribute();
                break;
            case kTagRecordEnd:
                end_record();
                break;
            default:
                break;
        }
    }

private:
    static void replace_if_valid(std::optional<std::uint32_t>& pending,
                                 std::optional<std::uint32_t> value) {
        if (value) {
            pending = value;
        }
    }

    static void keep_if_wide_string(std::optional<TlvItem>& pending, const TlvItem& item) {
        if (Decode::holds_wide_string(item)) {
            pending = item;
        }
    }

    void store_attribute() {
        if (!m_attributeName || !m_attributeValue) {
            return;
        }
        if (m_record.attributes.empty()) {
            // Records of one catalog look alike: size for the one before.
            m_record.attributes.reserve(m_lastAttributes, m_lastCharacters);
        }
        m_record.attributes.set_utf16le(m_attributeName->value, m_attributeName->length / 2,
                                        m_attributeValue->value, m_attributeValue->length / 2);
        m_attributeName.reset();
        m_attributeValue.reset();
    }

    void end_record() {
        if (m_name && m_id && m_parentId) {
            m_record.id = static_cast<std::int32_t>(*m_id);
            m_record.parentId = static_cast<std::int32_t>(*m_parentId);
            m_record.name = utf16le_to_wide(m_name->value, m_name->length / 2);
            m_lastAttributes = m_record.attributes.size();
            m_lastCharacters = m_record.attributes.characters();
            m_out.push_back(std::move(m_record));
        } else {
            TraceError("url_query_urls: Not all data was received!");
        }
        m_record = ServerRecord();
        m_name.reset();
        m_id.reset();
        m_parentId.reset();
    }

    std::vector<ServerRecord>& m_out;
    ServerRecord m_record;
    std::optional<TlvItem> m_name;
    std::optional<std::uint32_t> m_id;
    std::optional<std::uint32_t> m_parentId;
    std::optional<TlvItem> m_attributeName;
    std::optional<TlvItem> m_attributeValue;
    std::size_t m_lastAttributes = 0;
    std::size_t m_lastCharacters = 0;
};

}  // namespace

std::size_t decode_catalog_reply(const void* body, std::size_t size,
                                 std::vector<ServerRecord>& records) {
    const std::size_t before = records.size();
    if (body == nullptr || size == 0) {
        return 0;
    }
    // As Decode in detect mode does, but walking the items instead of keeping
    // a list of them: a page holds thousands.
    // A loaded catalog is many pages: fresh memory for each page's bytes costs
    // as much as converting them, so the buffer stays with the thread unless a
    // page was outsized.
    constexpr std::size_t kKeptCapacity = 4 << 20;
    thread_local std::vector<std::uint8_t> converted;
    const auto* stream = static_cast<const std::uint8_t*>(body);
    if (Decode::looks_like_hex(body, size)) {
        Decode::hex_to_bytes(body, size, converted);
        stream = converted.data();
        size = converted.size();
    }
    RecordBuilder builder(records);
    TlvReader reader(stream, size);
    TlvItem item;
    while (reader.next(item)) {
        builder.take(item);
    }
    if (converted.capacity() > kKeptCapacity) {
        std::vector<std::uint8_t>().swap(converted);
    }
    return records.size() - before;
}

}  // namespace MapsService
