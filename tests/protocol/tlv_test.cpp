#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_encode.h"

using namespace MapsService;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

std::vector<std::uint8_t> encoded(Encode& encoder, const std::vector<std::uint8_t>& buffer) {
    return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(encoder.size())};
}

}  // namespace

TEST(TlvEncode, TypedAppendsWriteLittleEndianItemsAndTheEndItem) {
    std::vector<std::uint8_t> buffer(128);
    Encode encoder(buffer.data(), buffer.size(), 0);
    const std::uint16_t shorts[] = {0x0102, 0x0304};
    const std::uint32_t longs[] = {0x0A0B0C0D};
    ASSERT_TRUE(encoder.add_uint16(1, 8));
    ASSERT_TRUE(encoder.add_flag(99, true));
    ASSERT_TRUE(encoder.add_flag(98, false));
    ASSERT_TRUE(encoder.add_uint32(3, 500));
    ASSERT_TRUE(encoder.add_uint64(4, 0x0102030405060708ULL));
    ASSERT_TRUE(encoder.add_uint16_array(5, shorts, 2));
    ASSERT_TRUE(encoder.add_uint32_array(6, longs, 1));
    ASSERT_TRUE(encoder.add_string(65, "map5"));
    ASSERT_TRUE(encoder.add_string(66, "abcdef", 2));
    ASSERT_TRUE(encoder.add_empty(7));
    ASSERT_TRUE(encoder.add_end());
    EXPECT_EQ(encoded(encoder, buffer), bytes({1,  2, 0, 8,    0,                             //
                                               99, 1, 0, 0xFF,                                //
                                               98, 1, 0, 0,                                   //
                                               3,  4, 0, 0xF4, 1,    0,    0,                 //
                                               4,  8, 0, 8,    7,    6,    5,    4, 3, 2, 1,  //
                                               5,  4, 0, 2,    1,    4,    3,                 //
                                               6,  4, 0, 0x0D, 0x0C, 0x0B, 0x0A,              //
                                               65, 5, 0, 'm',  'a',  'p',  '5',  0,           //
                                               66, 3, 0, 'a',  'b',  0,                       //
                                               7,  0, 0,                                      //
                                               0,  0, 0}));
}

TEST(TlvEncode, WideStringsAreUtf16LittleEndianWithSurrogatePairsAndRoundTrip) {
    std::vector<std::uint8_t> buffer(64);
    Encode encoder(buffer.data(), buffer.size(), 0);
    const std::wstring text = L"A\u00E9\U0001F600";
    ASSERT_TRUE(encoder.add_wide_string(21, text.c_str()));
    ASSERT_TRUE(encoder.add_wide_string(22, nullptr));
    EXPECT_EQ(encoded(encoder, buffer),
              bytes({21, 10, 0, 'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 22, 0, 0}));

    Decode decoder(buffer.data(), encoder.size(), Decode::kBinary);
    ASSERT_EQ(decoder.count(), 2u);
    EXPECT_EQ(Decode::value_wide_string(decoder.item(0)), text);
    // An empty value is no wide string at all.
    EXPECT_FALSE(Decode::value_wide_string(decoder.item(1)).has_value());
}

TEST(TlvEncode, HexModeWritesUpperCaseTextThatStaysTerminated) {
    char text[32];
    std::memset(text, 'x', sizeof text);
    Encode encoder(text, 31, Encode::kHexMode);
    EXPECT_STREQ(text, "");
    ASSERT_TRUE(encoder.add_uint16(1, 8));
    EXPECT_STREQ(text, "0102000800");
    ASSERT_TRUE(encoder.add_flag(99, true));
    ASSERT_TRUE(encoder.add_end());
    EXPECT_STREQ(text, "0102000800630100FF000000");
    EXPECT_EQ(encoder.size(), 24u);
}

TEST(TlvEncode, AnItemThatDoesNotFitIsLeftOutWholeInBothModes) {
    // Binary: the header fits, the value does not.
    std::vector<std::uint8_t> buffer(10, 0xAA);
    Encode binary(buffer.data(), buffer.size(), 0);
    ASSERT_TRUE(binary.add_uint16(1, 8));
    EXPECT_FALSE(binary.add_uint32(2, 7));
    EXPECT_EQ(binary.size(), 5u);
    EXPECT_TRUE(binary.add_flag(3, true));  // what still fits is still taken
    EXPECT_EQ(binary.size(), 9u);

    // Hex: 10 characters used, 9 left; a 4-byte value item needs 14.
    char text[20];
    Encode hex(text, 19, Encode::kHexMode);
    ASSERT_TRUE(hex.add_uint16(1, 8));
    EXPECT_FALSE(hex.add_uint32(49, 1000));
    EXPECT_STREQ(text, "0102000800");
    EXPECT_EQ(hex.size(), 10u);
}

TEST(TlvEncode, ValuesLongerThan65535BytesAreRefusedAndLeaveTheBufferUnchanged) {
    std::vector<std::uint8_t> buffer(200000, 0x55);
    Encode encoder(buffer.data(), buffer.size(), 0);
    ASSERT_TRUE(encoder.add_uint16(1, 8));
    const std::wstring wide(40000, L'x');
    EXPECT_FALSE(encoder.add_wide_string(2, wide.c_str()));
    const std::string narrow(65535, 'x');
    EXPECT_FALSE(encoder.add_string(65, narrow.c_str()));
    const std::vector<std::uint32_t> numbers(16384, 1);
    EXPECT_FALSE(encoder.add_uint32_array(6, numbers.data(), numbers.size()));
    EXPECT_FALSE(encoder.add(7, buffer.data(), 65536));
    EXPECT_EQ(encoder.size(), 5u);
    EXPECT_EQ(buffer[5], 0x55);
    // The longest value there is still goes in.
    EXPECT_TRUE(encoder.add_string(65, narrow.c_str(), 65534));
    EXPECT_EQ(encoder.size(), 5u + 3 + 65535);
}

TEST(TlvDecode, StopsAtTheEndItemAndKeepsItemsBeforeDamage) {
    const auto zeros = bytes({0, 0, 0});
    Decode ended(zeros.data(), zeros.size(), Decode::kBinary);
    EXPECT_EQ(ended.count(), 0u);
    EXPECT_TRUE(ended.complete());

    // Everything after tag 0 is ignored, even a length that would not fit.
    const auto after = bytes({1, 1, 0, 7, 0, 0xFF, 0xFF, 9, 9});
    Decode stopped(after.data(), after.size(), Decode::kBinary);
    ASSERT_EQ(stopped.count(), 1u);
    EXPECT_TRUE(stopped.complete());

    // The last item's length points one byte past the end.
    const auto truncated = bytes({1, 1, 0, 7, 2, 2, 0, 5});
    Decode cut(truncated.data(), truncated.size(), Decode::kBinary);
    ASSERT_EQ(cut.count(), 1u);
    EXPECT_EQ(cut.item(0).tag, 1);
    EXPECT_EQ(cut.item(0).value[0], 7);
    EXPECT_FALSE(cut.complete());

    // A length cut after its first byte.
    const auto header = bytes({1, 0, 0, 3, 1});
    Decode half(header.data(), header.size(), Decode::kBinary);
    EXPECT_EQ(half.count(), 1u);
    EXPECT_FALSE(half.complete());

    // A stream ending exactly after an item is complete; binary items point into the buffer.
    const auto exact = bytes({5, 2, 0, 1, 2});
    Decode whole(exact.data(), exact.size(), Decode::kBinary);
    ASSERT_EQ(whole.count(), 1u);
    EXPECT_TRUE(whole.complete());
    EXPECT_EQ(whole.item(0).value, exact.data() + 3);

    Decode nothing(nullptr, 10, Decode::kDetect);
    EXPECT_EQ(nothing.count(), 0u);
}

TEST(TlvDecode, HexTextInEitherCaseDecodesLikeTheBytesAndAnOddLastDigitIsDropped) {
    const std::string upper =
        "0102000800"
        "1506004100E9000000"
        "000000";
    const std::string lower =
        "0102000800"
        "1506004100e9000000"
        "000000";
    Decode fromUpper(upper.data(), upper.size(), Decode::kHex);
    Decode fromLower(lower.data(), lower.size(), Decode::kDetect);
    ASSERT_EQ(fromUpper.count(), 2u);
    ASSERT_EQ(fromLower.count(), 2u);
    EXPECT_TRUE(fromLower.hex());
    EXPECT_EQ(Decode::value_uint32(fromLower.item(0)), std::nullopt);
    EXPECT_EQ(fromLower.item(0).value[0], 8);
    EXPECT_EQ(Decode::value_wide_string(fromUpper.item(1)), L"A\u00E9");
    EXPECT_EQ(Decode::value_wide_string(fromLower.item(1)), L"A\u00E9");

    const std::string mixed = "0a0200fFeE";
    Decode mixedCase(mixed.data(), mixed.size(), Decode::kHex);
    ASSERT_EQ(mixedCase.count(), 1u);
    EXPECT_EQ(mixedCase.item(0).tag, 10);
    EXPECT_EQ(mixedCase.item(0).value[0], 0xFF);
    EXPECT_EQ(mixedCase.item(0).value[1], 0xEE);
    // Odd length: the trailing digit "7" makes no byte, so the item is whole.
    const std::string odd =
        "01010009"
        "7";
    Decode oddText(odd.data(), odd.size(), Decode::kHex);
    ASSERT_EQ(oddText.count(), 1u);
    EXPECT_EQ(oddText.item(0).value[0], 9);
    EXPECT_TRUE(oddText.complete());

    // Characters other than digits are skipped, also within a byte.
    const std::string spaced = "01 010\r\n009";
    Decode spacedText(spaced.data(), spaced.size(), Decode::kHex);
    ASSERT_EQ(spacedText.count(), 1u);
    EXPECT_EQ(spacedText.item(0).value[0], 9);

    const std::string single = "1";
    EXPECT_EQ(Decode(single.data(), single.size(), Decode::kHex).count(), 0u);
}

TEST(TlvDecode, DetectionTakesSixLeadingHexDigitsForTextEvenInBinaryReplies) {
    // A binary reply whose first item's tag, length and value begin with "300ABC":
    // tag '3', length 0x3030, then the value.
    std::vector<std::uint8_t> binary = {'3', '0', '0'};
    binary.resize(3 + 0x3030, 'x');
    binary[3] = 'A';
    binary[4] = 'B';
    binary[5] = 'C';
    Decode taken(binary.data(), binary.size(), Decode::kDetect);
    EXPECT_TRUE(taken.hex());
    EXPECT_EQ(taken.count(), 0u);  // "300ABC" read as hex: tag 0x30, length cut off
    Decode asBinary(binary.data(), binary.size(), Decode::kBinary);
    ASSERT_EQ(asBinary.count(), 1u);
    EXPECT_EQ(asBinary.item(0).length, 0x3030);

    // Five digits are not enough.
    const std::string five = "01020";
    EXPECT_FALSE(Decode(five.data(), five.size(), Decode::kDetect).hex());
    const auto raw = bytes({1, 2, 0, 8, 0, 0, 0, 0});
    Decode detected(raw.data(), raw.size(), Decode::kDetect);
    EXPECT_FALSE(detected.hex());
    EXPECT_EQ(detected.count(), 1u);
}

TEST(TlvDecode, ShortNumbersAndOddOrUnterminatedWideStringsReadAsAbsent) {
    const auto stream = bytes({69, 3, 0, 1,    2,    3,          // too short for 32 bits
                               70, 5, 0, 1,    0,    0,   0, 9,  // first four bytes count
                               21, 3, 0, 'A',  0,    0,          // odd length
                               21, 2, 0, 0,    'A',              // last byte not zero
                               21, 4, 0, 'A',  0,    'B', 0,     // unterminated but ends in zero
                               21, 4, 0, 0x00, 0xD8, 0,   0});   // lone surrogate
    Decode decoder(stream.data(), stream.size(), Decode::kBinary);
    ASSERT_EQ(decoder.count(), 6u);
    EXPECT_EQ(Decode::value_uint32(decoder.item(0)), std::nullopt);
    EXPECT_EQ(Decode::value_uint32(decoder.item(1)), 1u);
    EXPECT_EQ(Decode::value_wide_string(decoder.item(2)), std::nullopt);
    EXPECT_EQ(Decode::value_wide_string(decoder.item(3)), std::nullopt);
    EXPECT_EQ(Decode::value_wide_string(decoder.item(4)), L"AB");
    EXPECT_EQ(Decode::value_wide_string(decoder.item(5)), L"\uFFFD");
}
