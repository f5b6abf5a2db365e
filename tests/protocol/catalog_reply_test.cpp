#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/protocol/catalog_reply.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"

using namespace MapsService;
using namespace MapsService::tlv;

namespace {

// Builds a reply item by item, for replies the writer would never produce.
class ReplyBuilder {
public:
    ReplyBuilder() : m_buffer(4096), m_encoder(m_buffer.data(), m_buffer.size(), 0) {}

    ReplyBuilder& wide(std::uint8_t tag, const wchar_t* text) {
        EXPECT_TRUE(m_encoder.add_wide_string(tag, text));
        return *this;
    }
    ReplyBuilder& number(std::uint8_t tag, std::uint32_t value) {
        EXPECT_TRUE(m_encoder.add_uint32(tag, value));
        return *this;
    }
    ReplyBuilder& raw(std::uint8_t tag, std::vector<std::uint8_t> value) {
        EXPECT_TRUE(m_encoder.add(tag, value.data(), value.size()));
        return *this;
    }
    ReplyBuilder& end_record() {
        EXPECT_TRUE(m_encoder.add_empty(kTagRecordEnd));
        return *this;
    }
    ReplyBuilder& record(std::int32_t id, const wchar_t* name) {
        return wide(kTagRecordName, name).number(kTagRecordId, id).number(kTagRecordParentId, 0);
    }
    std::vector<std::uint8_t> bytes() const {
        return {m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_encoder.size())};
    }

private:
    std::vector<std::uint8_t> m_buffer;
    Encode m_encoder;
};

std::vector<ServerRecord> decode(const std::vector<std::uint8_t>& reply) {
    std::vector<ServerRecord> records;
    const std::size_t added = decode_catalog_reply(reply.data(), reply.size(), records);
    EXPECT_EQ(added, records.size());
    return records;
}

}  // namespace

TEST(CatalogReply, WrittenRecordsDecodeIdenticallyFromRawBytesAndHexText) {
    CatalogWriter writer;
    const std::vector<ServerRecord> records = {
        {1023, -1, L"Europe", {{L"Type", L"category"}}},
        {7, 1023, L"K\u00F8benhavn \U0001F5FA", {{L"ByteSize", L"123456"}, {L"File", L"x.zip"}}},
    };
    for (const ServerRecord& record : records) {
        ASSERT_TRUE(writer.add(record));
    }
    const std::string hex = writer.hex();
    EXPECT_EQ(decode(writer.bytes()), records);
    EXPECT_EQ(decode(std::vector<std::uint8_t>(hex.begin(), hex.end())), records);
}

TEST(CatalogReply, QuotesAreStrippedAndEmptyAttributesAreNotStored) {
    const auto reply = ReplyBuilder()
                           .record(5, L"Region")
                           .wide(kTagAttributeName, L"\"MD5\"")
                           .wide(kTagAttributeValue, L"\"abc\"")
                           .wide(kTagAttributeName, L"Desc")
                           .wide(kTagAttributeValue, L"")
                           .wide(kTagAttributeName, L"Ver")
                           .wide(kTagAttributeValue, L"1")
                           .wide(kTagAttributeName, L"Ver")  // a later value replaces
                           .wide(kTagAttributeValue, L"2")
                           .end_record()
                           .bytes();
    const auto records = decode(reply);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].attributes, (RecordAttributes{{L"MD5", L"abc"}, {L"Ver", L"2"}}));
}

TEST(CatalogReply, IncompleteRecordsAreDroppedWithoutHarmingTheNext) {
    const auto reply = ReplyBuilder()
                           // No name: dropped with its attribute.
                           .number(kTagRecordId, 1)
                           .number(kTagRecordParentId, 0)
                           .wide(kTagAttributeName, L"File")
                           .wide(kTagAttributeValue, L"lost.zip")
                           .end_record()
                           // An id shorter than four bytes counts as missing.
                           .wide(kTagRecordName, L"Short")
                           .raw(kTagRecordId, {2, 0})
                           .number(kTagRecordParentId, 0)
                           .end_record()
                           // A name of odd length is no wide string.
                           .raw(kTagRecordName, {'A', 0, 0})
                           .number(kTagRecordId, 3)
                           .number(kTagRecordParentId, 0)
                           .end_record()
                           .record(4, L"Kept")
                           .wide(kTagAttributeName, L"Type")
                           .wide(kTagAttributeValue, L"region")
                           .end_record()
                           .bytes();
    const auto records = decode(reply);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (ServerRecord{4, 0, L"Kept", {{L"Type", L"region"}}}));
}

TEST(CatalogReply, LaterItemsReplacePendingValuesAndUnknownTagsAreIgnored) {
    const auto reply = ReplyBuilder()
                           .wide(kTagRecordName, L"First")
                           .wide(kTagRecordName, L"Second")
                           .raw(99, {1, 2, 3})
                           .number(kTagRecordId, 10)
                           .number(kTagRecordParentId, 0xFFFFFFFF)
                           .wide(kTagAttributeName, L"lost")
                           .wide(kTagAttributeName, L"language")
                           .wide(kTagAttributeValue, L"fi")
                           .end_record()
                           // Pending values at the end of the reply are discarded.
                           .record(11, L"Unfinished")
                           .bytes();
    const auto records = decode(reply);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (ServerRecord{10, -1, L"Second", {{L"language", L"fi"}}}));
}

TEST(CatalogReply, ADamagedReplyYieldsTheRecordsBeforeTheDamage) {
    CatalogWriter writer;
    ASSERT_TRUE(writer.add({1, 0, L"One", {}}));
    ASSERT_TRUE(writer.add({2, 0, L"Two", {}}));
    std::vector<std::uint8_t> reply = writer.bytes();
    reply.resize(reply.size() - 5);  // cut into the second record's end
    const auto records = decode(reply);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, L"One");
    EXPECT_TRUE(decode({}).empty());
}
