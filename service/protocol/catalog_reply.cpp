#include "service/protocol/catalog_reply.h"

#include <optional>

#include "service/core/trace.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_tags.h"

namespace MapsService {

namespace {

void strip_quotes(std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L'"');
    if (first == std::wstring::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(L'"') + 1);
    text.erase(0, first);
}

// The record being gathered and the values seen since the last record end.
class RecordBuilder {
public:
    explicit RecordBuilder(std::vector<ServerRecord>& out) : m_out(out) {}

    void take(const TlvItem& item) {
        using namespace tlv;
        switch (item.tag) {
            case kTagRecordName:
                replace_if_valid(m_name, Decode::value_wide_string(item));
                break;
            case kTagRecordId:
                replace_if_valid(m_id, Decode::value_uint32(item));
                break;
            case kTagRecordParentId:
                replace_if_valid(m_parentId, Decode::value_uint32(item));
                break;
            case kTagAttributeName:
                replace_if_valid(m_attributeName, Decode::value_wide_string(item));
                store_attribute();
                break;
            case kTagAttributeValue:
                replace_if_valid(m_attributeValue, Decode::value_wide_string(item));
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
    template <typename T>
    static void replace_if_valid(std::optional<T>& pending, std::optional<T> value) {
        if (value) {
            pending = std::move(value);
        }
    }

    void store_attribute() {
        if (!m_attributeName || !m_attributeValue) {
            return;
        }
        if (!m_attributeName->empty() && !m_attributeValue->empty()) {
            strip_quotes(*m_attributeName);
            strip_quotes(*m_attributeValue);
            m_record.attributes.insert_or_assign(std::move(*m_attributeName),
                                                 std::move(*m_attributeValue));
        }
        m_attributeName.reset();
        m_attributeValue.reset();
    }

    void end_record() {
        if (m_name && m_id && m_parentId) {
            m_record.id = static_cast<std::int32_t>(*m_id);
            m_record.parentId = static_cast<std::int32_t>(*m_parentId);
            m_record.name = std::move(*m_name);
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
    std::optional<std::wstring> m_name;
    std::optional<std::uint32_t> m_id;
    std::optional<std::uint32_t> m_parentId;
    std::optional<std::wstring> m_attributeName;
    std::optional<std::wstring> m_attributeValue;
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
    std::vector<std::uint8_t> converted;
    const auto* stream = static_cast<const std::uint8_t*>(body);
    if (Decode::looks_like_hex(body, size)) {
        converted = Decode::hex_to_bytes(body, size);
        stream = converted.data();
        size = converted.size();
    }
    RecordBuilder builder(records);
    TlvReader reader(stream, size);
    TlvItem item;
    while (reader.next(item)) {
        builder.take(item);
    }
    return records.size() - before;
}

}  // namespace MapsService
