#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/protocol/catalog_writer.h"
#include "tests/protocol/package_server.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace atlasync::testing;

namespace {

int tool(const std::vector<std::string>& args, std::string* output) {
    return run_program(ATLASYNC_TOOL_PATH, args, output);
}

}  // namespace

TEST(ToolTlv, ListsItemsOfHexAndRawStreamsWithNumbersAndTexts) {
    TempDir dir;
    CatalogWriter writer;
    ASSERT_TRUE(writer.add({7, 1, L"Helsinki", {{L"Type", L"region"}}}));
    const std::vector<std::uint8_t> raw = writer.bytes();
    write_file(dir / "reply.hex", writer.hex());
    write_file(dir / "reply.bin", std::string(raw.begin(), raw.end()));

    const std::string expected =
        " 21    18  text \"Helsinki\"\n"
        " 69     4  number 7\n"
        " 70     4  number 1\n"
        " 83    10  text \"Type\"\n"
        " 84    14  text \"region\"\n"
        "254     0  \n";
    std::string hexOut;
    EXPECT_EQ(tool({"tlv", (dir / "reply.hex").string()}, &hexOut), 0);
    EXPECT_EQ(hexOut, "# hex, 6 items\n" + expected);
    std::string rawOut;
    EXPECT_EQ(tool({"tlv", "--raw", (dir / "reply.bin").string()}, &rawOut), 0);
    EXPECT_EQ(rawOut, "# raw, 6 items\n" + expected);

    // A stream cut short lists what came before and fails.
    write_file(dir / "cut.bin", std::string("\x01\x02\x00\x08\x00\x05\x09\x00", 8));
    std::string cutOut;
    EXPECT_EQ(tool({"tlv", "--raw", (dir / "cut.bin").string()}, &cutOut), 1);
    EXPECT_EQ(cutOut, "# raw, 1 items\n  1     2  number 8\n");

    EXPECT_EQ(tool({"tlv", (dir / "absent").string()}, nullptr), 1);
    EXPECT_EQ(tool({"tlv"}, nullptr), 64);  // a bad command line
}

TEST(ToolPackage, PrintsOneLinePerRecordAndExitsWithTheResultCode) {
    PackageServer map({{"map5", 2}});
    std::string output;
    EXPECT_EQ(tool({"package", map.server.url(""), "map5", "--lang", "fi"}, &output), 0);
    EXPECT_EQ(output,
              "1\t0\tRegion 0\tByteSize=0\tFile=r0.zip\n"
              "2\t0\tRegion 1\tByteSize=100\tFile=r1.zip\n");
    EXPECT_EQ(map.requests().at(0).language, L"fi");

    map.set_content_type("text/plain");
    EXPECT_EQ(tool({"package", map.server.url(""), "map5"}, &output), 9);
    EXPECT_EQ(tool({"package", map.server.url("")}, nullptr), 64);
}
