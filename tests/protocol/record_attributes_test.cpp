#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/protocol/record_attributes.h"

using namespace MapsService;

namespace {

std::vector<std::uint8_t> utf16le(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::vector<std::wstring> names(const RecordAttributes& attributes) {
    std::vector<std::wstring> out;
    for (const auto& [name, value] : attributes) {
        out.emplace_back(name);
    }
    return out;
}

}  // namespace

TEST(RecordAttributes, IterateInNameOrderWhateverTheOrderTheyWereSetIn) {
    RecordAttributes attributes;
    attributes.set(L"Ver", L"2");
    attributes.set(L"File", L"a.zip");
    attributes.set(L"MD5", L"abc");
    attributes.set(L"Zone", L"9");
    EXPECT_EQ(names(attributes), (std::vector<std::wstring>{L"File", L"MD5", L"Ver", L"Zone"}));
    EXPECT_EQ(attributes.value(L"File"), L"a.zip");
    EXPECT_EQ(attributes.value(L"Missing"), L"");
    EXPECT_FALSE(attributes.find(L"Missing").has_value());
    EXPECT_FALSE(attributes.contains(L"Fil"));
}

TEST(RecordAttributes, SettingANameAgainReplacesItsValueAndKeepsOneEntry) {
    RecordAttributes attributes{{L"Ver", L"1"}, {L"MD5", L"abc"}};
    attributes.set(L"Ver", L"2");
    attributes.set(L"MD5", L"");
    EXPECT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes, (RecordAttributes{{L"MD5", L""}, {L"Ver", L"2"}}));
    EXPECT_NE(attributes, (RecordAttributes{{L"MD5", L""}, {L"Ver", L"1"}}));
    // Copies keep their texts when the original changes.
    const RecordAttributes copy = attributes;
    attributes.set(L"Ver", L"3");
    EXPECT_EQ(copy.value(L"Ver"), L"2");
}

TEST(RecordAttributes, DecodedTextsLoseTheirQuotesStopAtZeroAndSkipEmptyOnes) {
    RecordAttributes attributes;
    const auto name = utf16le(u"\"Desc\"");
    const auto value = utf16le(std::u16string(u"\"Stra\u00DFe \U0001F5FA\"\0rest", 16));
    attributes.set_utf16le(name.data(), name.size() / 2, value.data(), value.size() / 2);
    const auto empty = utf16le(std::u16string(u"\0x", 2));
    attributes.set_utf16le(name.data(), name.size() / 2, empty.data(), empty.size() / 2);
    const auto lone = utf16le(std::u16string(1, char16_t{0xD800}));
    const auto key = utf16le(u"Lone");
    attributes.set_utf16le(key.data(), key.size() / 2, lone.data(), lone.size() / 2);
    EXPECT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes.value(L"Desc"), L"Stra\u00DFe \U0001F5FA");
    EXPECT_EQ(attributes.value(L"Lone"), L"\uFFFD");
}
