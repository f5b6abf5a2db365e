#include "service/core/exceptions.h"

#include <gtest/gtest.h>

using namespace MapsService;

TEST(Exceptions, SubclassesCarryTheirFixedTextAndCode) {
    const MemoryException memory;
    const PhoneDriveInvalidException drive;
    const DiskErrorException disk;
    EXPECT_STREQ(memory.what(), "error while allocating memory");
    EXPECT_EQ(memory.code(), 1);
    EXPECT_STREQ(drive.what(), "no valid phone drive");
    EXPECT_EQ(drive.code(), 4);
    EXPECT_STREQ(disk.what(), "error in operation on local disk");
    EXPECT_EQ(disk.code(), 5);
    try {
        throw DiskErrorException();
    } catch (const Exception& e) {
        EXPECT_EQ(e.code(), kResultDiskError);
    }
}

TEST(Exceptions, NumberConversionsReadLikeAStreamAndRefuseNonNumbers) {
    EXPECT_EQ(wstring_to_uint32(L"  42"), 42u);
    EXPECT_EQ(wstring_to_uint32(L"17kB"), 17u);
    EXPECT_EQ(wstring_to_uint32(L"4294967295"), 4294967295u);
    EXPECT_EQ(wstring_to_uint64(L"5000000000"), 5000000000ull);
    EXPECT_THROW(wstring_to_uint32(L""), ConversionFailedException);
    EXPECT_THROW(wstring_to_uint32(L"abc"), ConversionFailedException);
    EXPECT_THROW(wstring_to_uint32(L"4294967296"), ConversionFailedException);
    // A negative size must not wrap around into a huge one.
    EXPECT_THROW(wstring_to_uint64(L"-1"), ConversionFailedException);
}

TEST(Exceptions, RequiredLookupThrowsWithTheKeyOptionalGivesEmpty) {
    const WideMap values{{L"quota", L"1000000"}};
    EXPECT_EQ(get_required_value(values, L"quota"), L"1000000");
    EXPECT_EQ(get_optional_value(values, L"client_id"), L"");
    try {
        get_required_value(values, L"client_id");
        FAIL() << "no exception";
    } catch (const MissingKeyException& e) {
        EXPECT_EQ(e.key(), L"client_id");
    }
}
