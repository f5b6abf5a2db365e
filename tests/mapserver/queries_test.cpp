#include <gtest/gtest.h>

#include <string>

#include "mapserver/faults.h"
#include "mapserver/queries.h"
#include "mapserver/shared_link.h"
#include "service/core/text.h"
#include "service/protocol/package_query.h"

using namespace atlasync::mapserver;

namespace {

// The query text the client itself sends for a page.
std::string client_query(const MapsService::PackageQuery& query, std::int32_t offset,
                         std::int32_t size) {
    std::wstring url;
    EXPECT_TRUE(MapsService::encode_url_request(url, "http://maps.localhost", query, offset, size));
    const std::string text = MapsService::to_narrow(url);
    return text.substr(text.find('?') + 1);
}

}  // namespace

TEST(PackageQueryParsing, ClientRequestsAreReadWithEveryProperty) {
    QueryError error;
    const auto full =
        parse_package_query(client_query({"map5", "l01", "01.01.07", "S60"}, 1000, 500), error);
    ASSERT_TRUE(full) << error.message;
    EXPECT_EQ(full->name, "map5");
    EXPECT_EQ(full->language, "l01");
    EXPECT_EQ(full->version, "01.01.07");
    EXPECT_EQ(full->operatingSystem, "S60");
    EXPECT_EQ(full->pageOffset, 1000u);
    EXPECT_EQ(full->pageSize, 500u);

    const auto bare = parse_package_query(client_query({"touchfw", "", "", ""}, 0, 500), error);
    ASSERT_TRUE(bare) << error.message;
    EXPECT_EQ(bare->name, "touchfw");
    EXPECT_TRUE(bare->language.empty());
    EXPECT_TRUE(bare->version.empty());
    EXPECT_TRUE(bare->operatingSystem.empty());
}

TEST(PackageQueryParsing, BrokenQueriesAreRefusedWithAReason) {
    const std::string valid = client_query({"map5", "l01", "", ""}, 0, 500);
    const std::string cases[] = {
        "",
        "0",
        valid + "0",                                         // odd length
        "zz" + valid.substr(2),                              // not hex
        valid.substr(0, 9),                                  // an item cut short
        "0102000900",                                        // another request type
        "01020008004105006D61703500",                        // no page
        "0102000800030400F4010000310400000000000000000000",  // no name
        "01020008004101000000",                              // empty name
        "0102000800440200AB00",                              // property value without a name
    };
    for (const auto& text : cases) {
        QueryError error;
        EXPECT_FALSE(parse_package_query(text, error)) << text;
        EXPECT_FALSE(error.message.empty()) << text;
    }
}

// Nothing held the client to the fixed values of tags 63 and 99.
TEST(PackageQueryParsing, TheFixedVariantTenAndFlagFFAreRequired) {
    const std::string valid = client_query({"touchfw", "", "", ""}, 0, 500);
    const std::string variant = "3F04000A000000";  // tag 63, 32-bit 10
    const std::string flag = "630100FF";           // tag 99, true
    ASSERT_NE(valid.find(variant), std::string::npos) << valid;
    ASSERT_NE(valid.find(flag), std::string::npos) << valid;
    auto replaced = [&](const std::string& item, const std::string& by) {
        std::string text = valid;
        return text.replace(text.find(item), item.size(), by);
    };
    for (const std::string& text : {replaced(variant, "3F04000B000000"), replaced(variant, ""),
                                    replaced(flag, "63010000"), replaced(flag, "")}) {
        QueryError error;
        EXPECT_FALSE(parse_package_query(text, error)) << text;
        EXPECT_FALSE(error.message.empty()) << text;
    }
}

TEST(ServiceQueryParsing, RequestTypeMustMatchTheServiceAndTagThreeAsksForTheList) {
    QueryError error;
    const auto version = parse_service_query("0102000400170400020000000000000000", 4, error);
    ASSERT_TRUE(version) << error.message;
    EXPECT_FALSE(version->wantsList);
    const auto list = parse_service_query("01020004000304004000000000000000", 4, error);
    ASSERT_TRUE(list) << error.message;
    EXPECT_TRUE(list->wantsList);
    EXPECT_FALSE(parse_service_query("0102000700000000", 4, error));
    EXPECT_FALSE(parse_service_query("000000", 0, error));  // no type at all
}

TEST(FaultRule, ActionsAreReadAndDescribedBack) {
    const Fault fault =
        parse_fault("/maps/*.zip=delay:250,close-after:1000,content-type:text/html");
    EXPECT_EQ(fault.pattern, "/maps/*.zip");
    EXPECT_EQ(fault.delay.count(), 250);
    EXPECT_EQ(fault.closeAfter, 1000u);
    EXPECT_EQ(fault.contentType, "text/html");
    EXPECT_EQ(fault.describe(), "delay:250,close-after:1000,content-type:text/html");
    EXPECT_EQ(parse_fault("/pg=status:503,times:2").times, 2u);
    EXPECT_EQ(parse_fault("/a=damage-at:7,endless,no-range,rate:20000000,hold").describe(),
              "hold,damage-at:7,endless,no-range,rate:20000000");
    for (const char* bad : {"/pg", "=delay:1", "/pg=", "/pg=delay", "/pg=delay:x", "/pg=status:99",
                            "/pg=wobble:1", "/pg=times:0", "/pg=content-type:", "/pg=rate:0"}) {
        EXPECT_THROW(parse_fault(bad), std::invalid_argument) << bad;
    }
}

TEST(FaultRule, ALinkIsDescribedBackAndSharedByEveryCopyOfItsRule) {
    const Fault fault = parse_fault("*.zip=link:20000000,delay:30");
    EXPECT_EQ(fault.link, 20000000u);
    EXPECT_EQ(fault.describe(), "delay:30,link:20000000");
    ASSERT_TRUE(fault.sharedLink);
    EXPECT_EQ(fault.sharedLink->rate(), 20000000u);
    EXPECT_NE(parse_fault("*.zip=link:20000000").sharedLink, fault.sharedLink);  // a rule each

    FaultPlan plan;
    plan.add(fault);
    Fault built;  // made in code: the plan gives it its link
    built.pattern = "/vt";
    built.link = 1000;
    plan.add(built);
    EXPECT_EQ(plan.take("/maps/a.zip")->sharedLink, fault.sharedLink);
    EXPECT_EQ(plan.take("/maps/b.zip")->sharedLink, fault.sharedLink);
    const auto made = plan.take("/vt");
    ASSERT_TRUE(made->sharedLink);
    EXPECT_EQ(made->sharedLink, plan.take("/vt")->sharedLink);

    for (const char* bad : {"/pg=link:0", "/pg=link:x", "/pg=rate:1000,link:1000"}) {
        EXPECT_THROW(parse_fault(bad), std::invalid_argument) << bad;
    }
    try {
        parse_fault("/pg=link:1000,rate:1000");
        ADD_FAILURE() << "rate and link together were accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("rate and link"), std::string::npos);
    }
}

TEST(SharedLink, EachReservationGoesOutAfterTheOnesBeforeIt) {
    SharedLink link(1000);
    const auto first = link.reserve(500);
    const auto second = link.reserve(500);
    const auto third = link.reserve(1000);
    EXPECT_GE(second - first, std::chrono::milliseconds(500));
    EXPECT_GE(third - second, std::chrono::seconds(1));
}

TEST(FaultRule, GlobsMatchWholePathsWithStarsAcrossFolders) {
    EXPECT_TRUE(glob_matches("/pg", "/pg"));
    EXPECT_FALSE(glob_matches("/pg", "/pgx"));
    EXPECT_TRUE(glob_matches("/maps/*.zip", "/maps/regions/R1.zip"));
    EXPECT_FALSE(glob_matches("/maps/*.zip", "/maps/regions.xml"));
    EXPECT_TRUE(glob_matches("*", ""));
    EXPECT_TRUE(glob_matches("/?t", "/vt"));
    EXPECT_FALSE(glob_matches("/?t", "/t"));
    EXPECT_TRUE(glob_matches("*a*b*c", "xxaxxbxxbxc"));
}

TEST(FaultPlan, APatternWithAQueryPicksRequestsByTheirQuery) {
    FaultPlan plan;
    plan.add(parse_fault("/pg?*7475*=status:500"));
    EXPECT_FALSE(plan.take("/pg", "01027400"));
    EXPECT_FALSE(plan.take("/pg"));
    EXPECT_EQ(plan.take("/pg", "0174750A")->status, 500);
}

TEST(FaultPlan, FirstMatchingFaultAppliesAndACountedFaultRetires) {
    FaultPlan plan;
    plan.add(parse_fault("/pg=status:500,times:2"));
    plan.add(parse_fault("*=delay:1"));
    EXPECT_EQ(plan.take("/pg")->status, 500);
    EXPECT_EQ(plan.take("/vt")->delay.count(), 1);
    EXPECT_EQ(plan.take("/pg")->status, 500);
    EXPECT_FALSE(plan.take("/pg")->status);  // retired; the catch-all remains
    plan.clear();
    EXPECT_FALSE(plan.take("/pg"));
}
