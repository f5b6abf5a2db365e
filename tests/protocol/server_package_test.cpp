#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "service/core/text.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/server_package.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_tags.h"
#include "tests/protocol/package_server.h"

using namespace MapsService;
using namespace atlasync::testing;

TEST(ServerPackage, CatalogsArePagedBy500AndAFullPageAsksForOneMore) {
    PackageServer map({{"map5", 500}, {"mtiles", 1234}});
    const std::wstring server = map.server.wide_url("");

    ServerPackage exact(server, L"map5", L"", L"", L"");
    ASSERT_EQ(exact.load(), kResultOk);
    EXPECT_TRUE(exact.loaded());
    EXPECT_EQ(exact.records(), expected_records(500));

    ServerPackage larger(server, L"mtiles", L"", L"", L"");
    ASSERT_EQ(larger.load(), kResultOk);
    EXPECT_EQ(larger.records(), expected_records(1234));

    std::vector<std::uint32_t> offsets;
    for (const ParsedRequest& request : map.requests()) {
        offsets.push_back(request.offset);
        EXPECT_EQ(request.pageSize, 500u);
    }
    EXPECT_EQ(offsets, (std::vector<std::uint32_t>{0, 500, 0, 500, 1000}));
}

TEST(ServerPackage, HexAndRawRepliesGiveIdenticalRecords) {
    PackageServer raw({{"voices", 37}});
    PackageServer hex({{"voices", 37}});
    hex.set_hex(true);
    ServerPackage fromRaw(raw.server.wide_url(""), L"voices", L"", L"", L"");
    ServerPackage fromHex(hex.server.wide_url(""), L"voices", L"", L"", L"");
    ASSERT_EQ(fromRaw.load(), kResultOk);
    ASSERT_EQ(fromHex.load(), kResultOk);
    EXPECT_EQ(fromRaw.records(), expected_records(37));
    EXPECT_EQ(fromHex.records(), fromRaw.records());
}

TEST(ServerPackage, RequestCarriesItsItemsInOrderAndLeavesOutEmptyOnes) {
    PackageServer map({});
    ServerPackage full(map.server.wide_url("/"), L"map5", L"fi\u00E4", L"1.3.15", L"S60");
    EXPECT_EQ(full.load(), kResultOk);
    EXPECT_FALSE(full.loaded());  // no records
    ServerPackage bare(map.server.wide_url(""), L"touchfw", L"", L"", L"");
    EXPECT_EQ(bare.load(), kResultOk);

    // A server URL ending in a slash gets no second one.
    ASSERT_EQ(map.server.requests().size(), 2u);
    EXPECT_EQ(map.server.requests()[0].rfind("/pg?", 0), 0u);
    EXPECT_EQ(map.server.requests()[1].rfind("/pg?0102000800", 0), 0u);

    const std::vector<ParsedRequest> requests = map.requests();
    EXPECT_EQ(requests[0].tags, (std::vector<int>{1, 65, 63, 2, 68, 69, 68, 69, 99, 3, 49}));
    EXPECT_EQ(requests[0].name, "map5");
    EXPECT_EQ(requests[0].language, L"fi\u00E4");
    EXPECT_EQ(requests[0].properties,
              (std::map<std::string, std::string>{{"Ver", "1.3.15"}, {"OS", "S60"}}));
    EXPECT_EQ(requests[1].tags, (std::vector<int>{1, 65, 63, 99, 3, 49}));
}

TEST(ServerPackage, WrongContentTypeAndUnbuildableRequestsFailWithoutRecords) {
    PackageServer map({{"map5", 3}});
    map.set_content_type("text/html");
    ServerPackage package(map.server.wide_url(""), L"map5", L"", L"", L"");
    EXPECT_EQ(package.load(), kResultServerError);
    EXPECT_FALSE(package.loaded());
    EXPECT_TRUE(package.records().empty());

    // Regression: a name too long for the request buffer used to drop the paging
    // items silently, so the server answered the first page over and over.
    ServerPackage huge(map.server.wide_url(""), std::wstring(480, L'n'), L"", L"", L"");
    EXPECT_EQ(huge.load(), kResultFailed);
    EXPECT_EQ(map.server.requests().size(), 1u);

    int closedPort = 0;
    {
        HttpTestServer gone([](httplib::Server&) {});
        closedPort = gone.port();
    }
    ServerPackage unreachable(L"http://127.0.0.1:" + std::to_wstring(closedPort), L"map5", L"", L"",
                              L"");
    EXPECT_EQ(unreachable.load(), kResultServerError);
}

TEST(ServerPackage, LoadStartsAfreshWhileDownloadAccumulates) {
    PackageServer map({{"map5", 3}});
    ServerPackage package(map.server.wide_url(""), L"map5", L"", L"", L"");
    ASSERT_EQ(package.load(), kResultOk);
    ASSERT_EQ(package.download(), kResultOk);
    EXPECT_EQ(package.records().size(), 6u);
    ASSERT_EQ(package.load(), kResultOk);
    EXPECT_EQ(package.records().size(), 3u);

    std::vector<ServerRecord> copies(1);
    EXPECT_EQ(package.copy_records(copies), 4u);
    package.clear();
    EXPECT_FALSE(package.loaded());
    EXPECT_TRUE(package.records().empty());
}

TEST(ServerPackage, KindsConvertRecordsThroughTheirOwnSlots) {
    // A catalog kind as the content layer writes them.
    class RegionPackage : public ServerPackage {
    public:
        using ServerPackage::ServerPackage;
        std::int32_t convert_id(std::int32_t id) override { return id + 100; }
        URLInfo convert_item(const ServerRecord& record) override {
            return URLInfo(record.name, get_attribute(record, L"File"),
                           get_attribute(record, L"Ver"), {}, {}, {}, {}, 0, 0,
                           convert_id(record.id), convert_id(record.parentId), item_id(record), {});
        }
    };
    PackageServer map({{"map5", 2}});
    RegionPackage package(map.server.wide_url(""), L"map5", L"", L"", L"");
    ASSERT_EQ(package.load(), kResultOk);

    std::vector<URLInfo> infos;
    ASSERT_EQ(package.convert_records(infos), 2u);
    EXPECT_EQ(infos[1].name, L"Region 1");
    EXPECT_EQ(infos[1].url, L"r1.zip");
    EXPECT_EQ(infos[1].version, L"");  // missing attribute: empty
    EXPECT_EQ(infos[1].id, 102);
    EXPECT_EQ(infos[1].parentId, 100);
    EXPECT_EQ(infos[1].itemId, 2);
}

TEST(PackageRequest, AppendsAWholePagedPackageToTheCallersList) {
    PackageServer map({{"touchfw", 501}});
    std::vector<ServerRecord> records = {catalog_record(-1)};
    PackageRequest request(map.server.wide_url(""), records);
    ASSERT_EQ(request.fetch("touchfw", "", "", ""), kResultOk);
    ASSERT_EQ(records.size(), 502u);
    EXPECT_EQ(records[0], catalog_record(-1));
    EXPECT_EQ(records[501], catalog_record(500));
    EXPECT_EQ(map.server.requests().size(), 2u);
}
