// The facade's preconditions and state on drives that show up as local volumes.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <thread>

#include "service/content/download_package.h"
#include "service/content/maps_bucket.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/facade/facade_internal.h"
#include "service/facade/maps_service.h"
#include "tests/content/drive_fixture.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/phones/message_wait.h"

namespace {

using namespace MapsService;
using atlasync::mapserver::DriveOptions;
using atlasync::mapserver::World;
using atlasync::testing::FacadeTest;
using atlasync::testing::snapshot;
namespace fs = std::filesystem;

class Facade : public FacadeTest {
protected:
    // The server logs a request just after answering it: the count once the
    // last answer's line is surely written.
    std::size_t settled_requests() {
        return world().served().requests_to("/", std::numeric_limits<std::size_t>::max());
    }
};

TEST_F(Facade, ServerRootComposesTheUrlAndAnEmptyRootKeepsThePreviousOne) {
    EXPECT_EQ(get_server_url(), L"http://mapdata.atlasync-maps.net");
    ASSERT_EQ(set_server_root(L"maps.example.org"), kResultOk);
    EXPECT_EQ(set_server_root(L""), kResultFailed);
    EXPECT_EQ(server_root(), "maps.example.org");
    EXPECT_EQ(get_server_url(), L"http://mapdata.maps.example.org");
}

TEST_F(Facade, PackagesComeFromTheServerTheRootNamesAndTheCatalogLoadsOnce) {
    serve();
    std::vector<ServerRecord> records;
    EXPECT_EQ(GetPackage(get_server_url(), L"mclients", L"", L"", L"", records), kResultOk);
    EXPECT_EQ(records.size(), world().world.devices.size());

    EXPECT_EQ(get_mapsapp_catalog(), kResultOk);
    const std::size_t requests = settled_requests();
    EXPECT_EQ(get_mapsapp_catalog(), kResultOk);
    EXPECT_EQ(world().served().requests_to("/", requests + 1), requests);

    // Nothing answers on the port the root names once the server is gone.
    const std::wstring server = get_server_url();
    m_world.reset();
    records.clear();
    EXPECT_EQ(GetPackage(server, L"touchfw", L"", L"", L"", records), kResultServerError);
    EXPECT_TRUE(records.empty());
}

// The root reaches the drive that is current when it is set, not only drives
// selected after it.
TEST_F(Facade, TheCurrentDriveAsksTheServerOfTheRootSetLast) {
    serve();
    PhoneDrive* drive = add_volume_drive(world().make_drive(DriveOptions{}));
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultOk);
    CurrentDriveVersions versions;
    ASSERT_EQ(read_current_drive_versions(versions), kResultOk);
    EXPECT_EQ(versions.offeredMaps, VersionInfo(1, 1, 7, 0));

    atlasync::mapserver::WorldOptions newer;
    newer.mapVersion = *atlasync::mapserver::MapVersion::parse("2.4.0.0");
    atlasync::testing::ServedWorld other(newer);
    ASSERT_EQ(set_server_root(L"localhost:" + std::to_wstring(other.served().port())), kResultOk);
    ASSERT_EQ(read_current_drive_versions(versions), kResultOk);
    EXPECT_EQ(versions.offeredMaps, VersionInfo(2, 4, 0, 0));
}

TEST_F(Facade, OperationsOnTheCurrentDriveWithoutOneAnswerNoDriveOrInvalidDrive) {
    serve();
    PhoneDrive* drive = add_volume_drive(world().make_drive(DriveOptions{}));
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(select_phone_drive(drive->id() + 1000), kResultInvalidDrive);
    EXPECT_EQ(current_drive(), nullptr);

    const std::vector<std::int32_t> regions{World::client_id(world().world.regions[0].idid)};
    std::uint64_t count1 = 0;
    std::uint64_t count2 = 0;
    std::vector<DownloadItemInfo> items;
    std::vector<VoiceInfo> voices;
    std::vector<std::int32_t> held;
    EXPECT_EQ(download(regions, {}), kResultNoDriveSelected);
    EXPECT_EQ(get_download_size(regions, {}, count1, count2, items), kResultNoDriveSelected);
    EXPECT_EQ(delete_all_maps(), kResultNoDriveSelected);
    EXPECT_EQ(delete_all_voices(), kResultNoDriveSelected);
    EXPECT_EQ(GetRegionList(held), kResultNoDriveSelected);
    EXPECT_EQ(GetVoicesList(voices), kResultNoDriveSelected);
    EXPECT_EQ(update_maps_version(), kResultInvalidDrive);
    EXPECT_TRUE(items.empty());
}

TEST_F(Facade, DownloadOfNothingAnswersZeroAndLeavesTheDriveAndServerAlone) {
    serve();
    const fs::path folder = world().make_drive(DriveOptions{});
    PhoneDrive* drive = add_volume_drive(folder);
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultOk);
    const auto before = snapshot(folder);
    const std::size_t requests = settled_requests();
    EXPECT_GT(requests, 0u);  // the version check's
    EXPECT_EQ(download({}, {}), kResultOk);
    EXPECT_EQ(snapshot(folder), before);
    EXPECT_EQ(world().served().requests_to("/", requests + 1), requests);
}

TEST_F(Facade, AWriteProtectedDriveAnswersThirteenAndStaysCurrent) {
    serve();
    const fs::path folder = world().make_drive(DriveOptions{});
    PhoneDrive* drive = add_volume_drive(folder, true);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(select_phone_drive(drive->id()), kResultWriteProtected);
    EXPECT_EQ(current_drive(), drive);
    // Still the current drive: the size is that of its region, not "no drive".
    const std::vector<std::int32_t> regions{World::client_id(world().world.regions[0].idid)};
    std::uint64_t count1 = 0;
    std::uint64_t count2 = 0;
    std::vector<DownloadItemInfo> items;
    EXPECT_EQ(get_download_size(regions, {}, count1, count2, items), kResultOk);
    EXPECT_GT(count1, 0u);
}

TEST_F(Facade, AnOutdatedDriveNeedsAnUpdateAndACurrentOneDoesNot) {
    serve();
    DriveOptions outdated;
    outdated.mapVersion = "1.1.6.0";
    PhoneDrive* old = add_volume_drive(world().make_drive(outdated));
    PhoneDrive* current = add_volume_drive(world().make_drive(DriveOptions{}));
    ASSERT_NE(old, nullptr);
    ASSERT_NE(current, nullptr);
    atlasync::testing::drain_messages();
    EXPECT_EQ(select_phone_drive(old->id()), kResultMapsNeedUpdate);
    const auto messages = atlasync::testing::take_messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front().type, MSG_QUERYING_SERVER);
    EXPECT_EQ(messages.front().drive, old);
    EXPECT_EQ(select_phone_drive(current->id()), kResultOk);
}

// What the wizard tells after an update broke off rests on this report: the
// drive is named with its first deletion, and by every later check while the
// update is unfinished, never while its maps are whole.
TEST_F(Facade, MapsAreReportedIncompleteFromTheFirstDeletionUntilTheUpdateIsDone) {
    serve();
    DriveOptions outdated;
    outdated.mapVersion = "1.1.6.0";
    outdated.regions = {"all"};
    PhoneDrive* old = add_volume_drive(world().make_drive(outdated));
    PhoneDrive* current = add_volume_drive(world().make_drive(DriveOptions{}));
    ASSERT_NE(old, nullptr);
    ASSERT_NE(current, nullptr);
    // The index of the first message of the type (and kind), or -1.
    auto first = [](const std::vector<Message>& messages, std::int32_t type,
                    std::int32_t kind = -1) {
        const auto found = std::find_if(messages.begin(), messages.end(), [&](const Message& m) {
            return m.type == type && (kind < 0 || m.kind == kind);
        });
        return found == messages.end() ? -1 : static_cast<int>(found - messages.begin());
    };
    atlasync::testing::drain_messages();
    ASSERT_EQ(select_phone_drive(current->id()), kResultOk);
    ASSERT_EQ(update_maps_version(), kResultOk);
    ASSERT_EQ(select_phone_drive(old->id()), kResultMapsNeedUpdate);
    EXPECT_EQ(first(atlasync::testing::take_messages(), MSG_MAPS_INCOMPLETE), -1);

    ASSERT_EQ(update_maps_version(), kResultOk);
    const auto update = atlasync::testing::take_messages();
    const int reported = first(update, MSG_MAPS_INCOMPLETE);
    ASSERT_GE(reported, 0);
    EXPECT_EQ(update[static_cast<std::size_t>(reported)].drive, old);
    EXPECT_GT(reported, first(update, MSG_DELETE_PROGRESS, PACKAGE_STARTED));
    EXPECT_LT(reported, first(update, MSG_DELETE_PROGRESS, ITEM_PROGRESS));

    ASSERT_EQ(select_phone_drive(old->id()), kResultMapsNeedUpdate);
    const auto check = atlasync::testing::take_messages();
    ASSERT_GE(first(check, MSG_MAPS_INCOMPLETE), 0);
    EXPECT_EQ(check[static_cast<std::size_t>(first(check, MSG_MAPS_INCOMPLETE))].drive, old);
}

TEST_F(Facade, DownloadSizeSumsEveryRegionAndVoiceItemOnce) {
    serve();
    DriveOptions options;
    options.voices = {"all"};
    PhoneDrive* drive = add_volume_drive(world().make_drive(options));
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultOk);
    std::vector<VoiceInfo> voices;
    ASSERT_EQ(GetVoicesList(voices), kResultOk);
    ASSERT_FALSE(voices.empty());
    const std::vector<std::int32_t> regions{World::client_id(world().world.regions[0].idid),
                                            World::client_id(world().world.regions[1].idid)};
    std::uint64_t count1 = 0;
    std::uint64_t count2 = 0;
    std::vector<DownloadItemInfo> items;
    ASSERT_EQ(get_download_size(regions, voices, count1, count2, items), kResultOk);

    // Every catalog record the size covers appears exactly once, and the
    // byte counts are the sums over the tree.
    std::uint64_t bytes = 0;
    std::uint64_t unpacked = 0;
    std::size_t entries = 0;
    std::size_t voiceEntries = 0;
    std::function<void(const std::vector<DownloadItemInfo>&, std::int32_t)> walk =
        [&](const std::vector<DownloadItemInfo>& list, std::int32_t parent) {
            for (const DownloadItemInfo& item : list) {
                URLInfo record;
                ASSERT_TRUE(drive->find_url_info(item.id, record)) << item.id;
                if (parent != 0) {
                    EXPECT_EQ(record.parentId, parent);
                }
                bytes += item.byteSize;
                unpacked += item.contentSize;
                ++entries;
                voiceEntries += item.itemType == 3 ? 1 : 0;
                walk(item.children, item.id);
            }
        };
    walk(items, 0);
    EXPECT_EQ(bytes, count1);
    EXPECT_EQ(unpacked, count2);
    EXPECT_EQ(voiceEntries, voices.size());
    EXPECT_GE(entries, regions.size() + voices.size());
}

TEST_F(Facade, ItemsGoUnderTheFirstEntryWithTheirParentIdSearchedListFirstThenDepth) {
    serve();
    atlasync::testing::LocalDrive local(world().make_drive(DriveOptions{}));
    DownloadPackage package(*local.drive);
    const auto item = [](std::int32_t id, std::int32_t parent, const wchar_t* type) {
        URLInfo info;
        info.id = id;
        info.parentId = parent;
        info.type = type;
        info.byteSize = static_cast<std::uint64_t>(id);
        return info;
    };
    package.add_item(item(10, 0, L"Category"));
    package.add_item(item(20, 10, L"region"));
    package.add_item(item(30, 20, L"CityIndex"));
    package.add_item(item(40, 99, L"voice"));
    package.add_item(item(50, 40, L"guide"));
    // 20 is both a child of 10 and, below, a top-level entry: the list's own
    // entries are searched before any children.
    package.add_item(item(20, 0, L"region"));
    package.add_item(item(60, 20, L"multimedia"));
    std::vector<DownloadItemInfo> items;
    insert_download_items(package, items);

    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, 10);
    EXPECT_EQ(items[0].itemType, 1);
    ASSERT_EQ(items[0].children.size(), 1u);
    ASSERT_EQ(items[0].children[0].children.size(), 1u);
    EXPECT_EQ(items[0].children[0].children[0].id, 30);
    EXPECT_EQ(items[0].children[0].children[0].itemType, 6);
    EXPECT_EQ(items[1].id, 40);
    ASSERT_EQ(items[1].children.size(), 1u);
    EXPECT_EQ(items[1].children[0].id, 50);
    EXPECT_EQ(items[2].id, 20);
    ASSERT_EQ(items[2].children.size(), 1u);
    EXPECT_EQ(items[2].children[0].id, 60);
    EXPECT_EQ(items[2].children[0].byteSize, 60u);
}

TEST_F(Facade, ACancelAfterItsOperationEndedFailsNeitherTheNextCheckNorTheNextUpdate) {
    // Regression: the flag stayed set, and the next version check or wipe answered 2.
    serve();
    DriveOptions outdated;
    outdated.mapVersion = "1.1.6.0";
    PhoneDrive* drive = add_volume_drive(world().make_drive(outdated));
    ASSERT_NE(drive, nullptr);
    // A late version answer: long enough for a download to notice a cancel.
    world().served().server().faults().add(
        atlasync::mapserver::parse_fault("/vt=delay:1500,times:1"));
    EXPECT_EQ(cancel_operation(), kResultOk);
    EXPECT_EQ(select_phone_drive(drive->id()), kResultMapsNeedUpdate);
    EXPECT_EQ(cancel_operation(), kResultOk);
    EXPECT_EQ(update_maps_version(), kResultOk);
    EXPECT_FALSE(service_cancel_flag().is_set());
}

TEST_F(Facade, ACancelledDownloadAnswersTwoAndLeavesTheFlagClear) {
    serve();
    PhoneDrive* drive = add_volume_drive(world().make_drive(DriveOptions{}));
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultOk);
    // The second region's archive is held back until the cancel ends its download.
    world().served().server().faults().add(atlasync::mapserver::parse_fault(
        "*/R" + std::to_string(world().world.regions[1].idid) + ".zip=hold"));
    std::vector<std::int32_t> regions;
    for (const auto& region : world().world.regions) {
        regions.push_back(World::client_id(region.idid));
    }
    atlasync::testing::drain_messages();
    std::atomic<Result> result{-1};
    std::thread worker([&] { result = download(regions, {}); });
    // Cancels once the first item finished.
    const auto seen = atlasync::testing::messages_until(MSG_UNZIP_PROGRESS);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(cancel_operation(), kResultOk);
    worker.join();
    EXPECT_EQ(result.load(), kResultCancelled);
    EXPECT_FALSE(service_cancel_flag().is_set());
}

struct UnreadableCatalog {
    const char* name;
    const char* fault;        // a server rule, or empty
    const char* removedLine;  // a manifest line taken out, or empty
};

// Rows print as their names in test listings.
void PrintTo(const UnreadableCatalog& row, std::ostream* out) {
    *out << row.name;
}

class FacadeCatalogs : public FacadeTest,
                       public ::testing::WithParamInterface<UnreadableCatalog> {};

// Regression: lists read without a whole catalog answered 0 and empty, and the
// update that followed wiped the regions and voices for good.
TEST_P(FacadeCatalogs, ListsFailAndNoWipeFollowsWhenACatalogCannotBeLoaded) {
    serve({}, GetParam().removedLine, "");
    if (*GetParam().fault != '\0') {
        world().served().server().faults().add(atlasync::mapserver::parse_fault(GetParam().fault));
    }
    DriveOptions outdated;
    outdated.mapVersion = "1.1.6.0";
    outdated.regions = {"all"};
    outdated.voices = {"all"};
    const fs::path folder = world().make_drive(outdated);
    PhoneDrive* drive = add_volume_drive(folder);
    ASSERT_NE(drive, nullptr);
    const auto before = snapshot(folder);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultMapsNeedUpdate);
    std::vector<std::int32_t> regions;
    std::vector<VoiceInfo> voices;
    EXPECT_NE(GetRegionList(regions), kResultOk);
    EXPECT_NE(GetVoicesList(voices), kResultOk);
    EXPECT_NE(update_maps_version(), kResultOk);
    EXPECT_EQ(snapshot(folder), before);
}

INSTANTIATE_TEST_SUITE_P(
    Missing, FacadeCatalogs,
    ::testing::Values(UnreadableCatalog{"RegionTable", "*/regions.xml=status:500", ""},
                      UnreadableCatalog{"VoiceCatalog", "", "package mapportervoicepkg30 "}),
    [](const auto& row) { return std::string(row.param.name); });

// Regression: on an old-style drive the disk-cache move's 0 replaced the
// failed version check, and the drive read as current.
TEST_F(Facade, AFailedVersionCheckOnAnOldStyleDriveIsNotReadAsCurrent) {
    serve();
    DriveOptions old;
    old.mapVersion = "1.1.6.0";
    old.layout = atlasync::mapserver::DriveLayout::Private;
    PhoneDrive* drive = add_volume_drive(world().make_drive(old));
    ASSERT_NE(drive, nullptr);
    world().served().server().faults().add(atlasync::mapserver::parse_fault("/vt=status:500"));
    EXPECT_EQ(select_phone_drive(drive->id()), kResultServerError);
}

// A cancel left over from before the version switch must not stop it, and the
// switch itself claims nothing: the drive keeps naming the old version and
// records the target until every item is on it.
TEST_F(Facade, AVersionSwitchIgnoresAnOldCancelAndClaimsNothingBeforeTheDownload) {
    serve();
    DriveOptions outdated;
    outdated.mapVersion = "1.1.6.0";
    outdated.regions = {"all"};
    const fs::path folder = world().make_drive(outdated);
    PhoneDrive* drive = add_volume_drive(folder);
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultMapsNeedUpdate);
    (void)cancel_operation();
    EXPECT_NE(update_maps_version(), kResultCancelled);
    const auto after = snapshot(folder);
    EXPECT_EQ(after.count("cities/diskcache/update.pending"), 1u);
    EXPECT_EQ(atlasync::testing::read_file(folder / "cities/diskcache/config.cfg").find("1.1.7.0"),
              std::string::npos);
    EXPECT_EQ(select_phone_drive(drive->id()), kResultMapsNeedUpdate);
}

}  // namespace
