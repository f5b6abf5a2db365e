#include <gtest/gtest.h>

#include "service/content/update_record.h"

namespace {

using MapsService::UpdateRecord;
using MapsService::VersionInfo;

TEST(UpdateRecord, WrittenRecordReadsBackWhole) {
    UpdateRecord record;
    record.target = VersionInfo(1, 1, 7, 0);
    record.regions = {1100001, 1100003};
    record.voices = {3001};
    record.placed = {1100003, 2100003};
    record.wiped = true;
    const std::string text = record.encode();
    EXPECT_EQ(text,
              "format:UPDATE\nmap_version:1.1.7.0\nregion:1100001\nregion:1100003\nvoice:3001\n"
              "placed:1100003\nplaced:2100003\nwiped:1\n");
    const auto read = UpdateRecord::decode(text);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->target, record.target);
    EXPECT_EQ(read->regions, record.regions);
    EXPECT_EQ(read->voices, record.voices);
    EXPECT_EQ(read->placed, record.placed);
    EXPECT_TRUE(read->wiped);
    EXPECT_FALSE(UpdateRecord::decode("format:UPDATE\nmap_version:1.1.7.0\n")->wiped);
    EXPECT_TRUE(read->is_placed(2100003));
    EXPECT_FALSE(read->is_placed(1100001));
}

TEST(UpdateRecord, TextThatIsNotAWholeRecordIsRefused) {
    for (const char* text : {
             "",
             "format:UPDATE\nmap_version:1.1.7.0\nregion:11",  // cut short
             "map_version:1.1.7.0\n",                          // no format line
             "format:QF\nmap_version:1.1.7.0\n",               // another file's format
             "format:UPDATE\n",                                // no version
             "format:UPDATE\nmap_version:seven\n",
             "format:UPDATE\nmap_version:1.1.7.0\nregion:x1\n",
             "format:UPDATE\nmap_version:1.1.7.0\nsize:12\n",  // unknown key
         }) {
        EXPECT_FALSE(UpdateRecord::decode(text).has_value()) << text;
    }
}

}  // namespace
