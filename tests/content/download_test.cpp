#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <map>
#include <thread>

#include "mapserver/faults.h"
#include "service/content/download_package.h"
#include "service/content/item_fetcher.h"
#include "service/content/phone_drive.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/served_world.h"

namespace {

using namespace MapsService;
using atlasync::mapserver::DriveOptions;
using atlasync::testing::drain_messages;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::ServedWorld;
using atlasync::testing::take_messages;
using atlasync::testing::tile_file;
namespace fs = std::filesystem;

std::int32_t first_voice_id(PhoneDrive& drive) {
    for (const URLInfo& info : drive.get_url_infos()) {
        if (info.type == L"voice" && info.url.find(L"v30_english") != std::wstring::npos) {
            return info.id;
        }
    }
    return 0;
}

std::size_t files_below(const fs::path& folder) {
    if (!fs::exists(folder)) {
        return 0;
    }
    return static_cast<std::size_t>(
        std::count_if(fs::recursive_directory_iterator(folder), fs::recursive_directory_iterator(),
                      [](const fs::directory_entry& entry) { return entry.is_regular_file(); }));
}

using Step = std::pair<std::int32_t, std::int32_t>;  // message type, kind
constexpr Step kFetchStarted{MSG_DOWNLOAD_PROGRESS, ITEM_STARTED};
constexpr Step kUnpackStarted{MSG_UNZIP_PROGRESS, ITEM_STARTED};
constexpr Step kUnpackFinished{MSG_UNZIP_PROGRESS, ITEM_FINISHED};
constexpr Step kItemFinished{MSG_DOWNLOAD_PROGRESS, ITEM_FINISHED};

// Where each item's steps came, as positions in the message list: the n-th
// step of a kind is the n-th item's, as items start and finish in order.
std::vector<std::map<Step, std::size_t>> steps_by_item(const std::vector<Message>& messages,
                                                       const std::vector<std::int32_t>& ids) {
    std::vector<std::map<Step, std::size_t>> items(ids.size());
    std::map<Step, std::size_t> seen;
    for (std::size_t at = 0; at < messages.size(); ++at) {
        const Message& message = messages[at];
        if (message.kind != ITEM_STARTED && message.kind != ITEM_FINISHED) {
            continue;
        }
        const Step step{message.type, message.kind};
        const std::size_t item = seen[step]++;
        if (item >= ids.size()) {
            ADD_FAILURE() << "more items than added";
            break;
        }
        EXPECT_EQ(message.id, ids[item]);
        items[item][step] = at;
    }
    return items;
}

// The package starts first and finishes last; each item's steps keep their
// order; items start downloading in order and are placed in order.
void expect_message_order(const std::vector<Message>& messages,
                          const std::vector<std::int32_t>& ids) {
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front().type, MSG_DOWNLOAD_PROGRESS);
    EXPECT_EQ(messages.front().kind, PACKAGE_STARTED);
    EXPECT_EQ(messages.back().type, MSG_DOWNLOAD_PROGRESS);
    EXPECT_EQ(messages.back().kind, PACKAGE_FINISHED);
    EXPECT_EQ(messages.back().result, kResultOk);
    EXPECT_EQ(messages.back().percent1, 100.0);
    // No item's download figure goes back, whatever the other downloads and
    // the unpacking send in between (told apart by id where ids are unique: a
    // city index has its region's).
    std::map<std::int32_t, std::uint64_t> itemShown;
    for (const Message& message : messages) {
        EXPECT_LE(message.percent1, 100.0);
        EXPECT_LE(message.percent2, 100.0);
        EXPECT_GE(message.percent1, 0.0);
        if (message.type == MSG_DOWNLOAD_PROGRESS && message.kind == ITEM_PROGRESS &&
            std::count(ids.begin(), ids.end(), message.id) == 1) {
            EXPECT_GE(message.bytes1, itemShown[message.id]);
            itemShown[message.id] = message.bytes1;
        }
    }
    // Nor does the package's, of any item message: an item finishes after the
    // next one began downloading.
    for (const std::int32_t type : {MSG_DOWNLOAD_PROGRESS, MSG_UNZIP_PROGRESS}) {
        for (const std::int32_t kind : {ITEM_STARTED, ITEM_PROGRESS, ITEM_FINISHED}) {
            SCOPED_TRACE(std::string(message_type_name(type)) + " " + progress_kind_name(kind));
            Message shown;
            for (const Message& message : messages) {
                if (message.type != type || message.kind == PACKAGE_STARTED) {
                    continue;
                }
                if (message.kind == kind) {
                    EXPECT_GE(message.bytes2, shown.bytes2);
                    EXPECT_GE(message.percent2, shown.percent2);
                }
                if (message.kind != PACKAGE_FINISHED) {
                    shown = message;
                }
            }
        }
    }
    const auto items = steps_by_item(messages, ids);
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        const auto& item = items[i];
        ASSERT_EQ(item.size(), 4u);
        EXPECT_LT(item.at(kFetchStarted), item.at(kUnpackStarted));
        EXPECT_LT(item.at(kUnpackStarted), item.at(kUnpackFinished));
        EXPECT_LT(item.at(kUnpackFinished), item.at(kItemFinished));
        if (i >= 1) {
            EXPECT_GT(item.at(kUnpackStarted), items[i - 1].at(kItemFinished));
        }
        if (i >= 1) {
            EXPECT_GT(item.at(kFetchStarted), items[i - 1].at(kFetchStarted));
        }
    }
}

TEST(DownloadPackage, RegionCityIndexAndVoiceLandUnderTheirFoldersWithCopyRules) {
    ServedWorld world;
    // A region file the server sends with the extension in capitals: not an archive.
    put_file(world.content() / "files/maps/extra/HEADER.CDT", "plain cdt data");
    DriveOptions options;
    options.mapVersion = "1.1.7.0";
    const fs::path folder = world.make_drive(options);
    LocalDrive local(folder, world.url());
    PhoneDrive& drive = *local.drive;
    const std::int32_t voice = first_voice_id(drive);
    ASSERT_NE(voice, 0);

    URLInfo header;
    header.name = L"header";
    header.url = world.served().server_url() + L"/maps/extra/HEADER.CDT";
    header.type = L"Region";
    header.byteSize = 14;
    header.id = 77;

    const auto run = [&] {
        auto package_ptr = std::make_unique<DownloadPackage>(drive);
        DownloadPackage& package = *package_ptr;
        EXPECT_EQ(drive.add_url_infos({1100001, voice}, package), kResultOk);
        EXPECT_EQ(package.items().size(), 3u);  // the city index rides along
        package.add_item(header);
        drain_messages();
        EXPECT_EQ(package.download(), kResultOk);
        std::vector<std::int32_t> ids;
        for (const URLInfo& item : package.items()) {
            ids.push_back(item.id);
        }
        expect_message_order(take_messages(), ids);
        EXPECT_EQ(files_below(to_narrow(package.temp_folder())), 0u);
        const std::string temp = to_narrow(package.temp_folder());
        package_ptr.reset();
        EXPECT_FALSE(fs::exists(temp));
    };
    run();

    const auto& region = world.world.regions[0];
    for (const std::string& tile : region.tiles) {
        EXPECT_TRUE(fs::exists(tile_file(folder, tile))) << tile;
    }
    EXPECT_TRUE(fs::exists(folder / "cities/diskcache/ClientIndex/C1100001.idx"));
    const fs::path skin = folder / "cities/diskcache/voices/v30_english/skin_english.lua";
    ASSERT_TRUE(fs::exists(skin));
    EXPECT_EQ(read_file(folder / "cities/diskcache/HEADER.CDT"), "plain cdt data");

    // Second round: a larger tile stays, a smaller one is replaced, a voice file
    // of the same size is kept even though its content differs.
    const fs::path larger = tile_file(folder, region.tiles[0]);
    const fs::path smaller = tile_file(folder, region.tiles[1]);
    const std::string original = read_file(smaller);
    put_file(larger, read_file(larger) + "extra");
    put_file(smaller, "short");
    std::string sameSize(fs::file_size(skin), '#');
    put_file(skin, sameSize);
    run();
    EXPECT_EQ(read_file(larger).substr(read_file(larger).size() - 5), "extra");
    EXPECT_EQ(read_file(smaller), original);
    EXPECT_EQ(read_file(skin), sameSize);
}

TEST(DownloadPackage, FoldersRemovedBehindThePackagesBackAreMadeAgain) {
    ServedWorld world;
    const fs::path folder = world.make_drive(DriveOptions{});
    LocalDrive local(folder, world.url());
    PhoneDrive& drive = *local.drive;
    DownloadPackage package(drive);
    ASSERT_EQ(drive.add_url_infos({1100001}, package), kResultOk);
    ASSERT_EQ(package.download(), kResultOk);
    const auto& tiles = world.world.regions[0].tiles;
    ASSERT_TRUE(fs::exists(tile_file(folder, tiles.back())));

    // The package has seen every folder once; gone now, they come back.
    for (const auto& entry : fs::directory_iterator(folder / "cities/diskcache")) {
        if (entry.is_directory()) {
            fs::remove_all(entry.path());
        }
    }
    EXPECT_EQ(package.download(), kResultOk);
    for (const std::string& tile : tiles) {
        EXPECT_TRUE(fs::exists(tile_file(folder, tile))) << tile;
    }
    EXPECT_TRUE(fs::exists(folder / "cities/diskcache/ClientIndex/C1100001.idx"));

    // Without its disk cache the drive is gone (a volume's empty mount point
    // stays): nothing is made in its stead.
    fs::remove_all(folder / "cities");
    EXPECT_EQ(package.download(), kResultPhoneFileSystem);
    EXPECT_FALSE(fs::exists(folder / "cities"));
}

TEST(DownloadPackage, ADownloadErrorStopsAtTheFailingItemWithoutFinishingIt) {
    ServedWorld world;
    LocalDrive local(world.make_drive(DriveOptions{}), world.url());
    URLInfo missing;
    missing.url = world.served().server_url() + L"/maps/regions/none.zip";
    missing.type = L"region";
    missing.id = 5;
    DownloadPackage package(*local.drive);
    package.add_item(missing);
    package.add_item(missing);
    drain_messages();
    EXPECT_NE(package.download(), kResultOk);
    std::vector<Message> messages = take_messages();
    std::erase_if(messages, [](const Message& m) { return m.kind == ITEM_PROGRESS; });
    // The package's start, the start of each item in flight, the package's finish.
    ASSERT_GE(messages.size(), 3u);
    ASSERT_LE(messages.size(), 4u);
    EXPECT_EQ(messages.front().kind, PACKAGE_STARTED);
    for (std::size_t i = 1; i + 1 < messages.size(); ++i) {
        EXPECT_EQ(messages[i].kind, ITEM_STARTED);
    }
    EXPECT_EQ(messages.back().kind, PACKAGE_FINISHED);
    EXPECT_NE(messages.back().result, kResultOk);
    EXPECT_EQ(files_below(to_narrow(package.temp_folder())), 0u);
}

TEST(DownloadPackage, ADamagedArchiveIsFetchedOnceMoreThenFailsWith11BeforeAnyOfItLands) {
    struct Row {
        const char* fault;  // on the region's archive
        bool checksum;      // the item carries the catalog's MD5; without it the CRC speaks
        Result result;
    };
    const Row rows[] = {
        {"damage-at:60,times:1", true, kResultOk},
        {"damage-at:60", true, kResultCorruptArchive},
        {"damage-at:60,times:1", false, kResultOk},
        {"damage-at:60", false, kResultCorruptArchive},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.fault) + (row.checksum ? " md5" : " crc"));
        ServedWorld world;
        const fs::path folder = world.make_drive(DriveOptions{});
        LocalDrive local(folder, world.url());
        const auto& region = world.world.regions[0];
        const std::wstring archive = L"/R" + std::to_wstring(region.idid) + L".zip";
        URLInfo item;
        for (const URLInfo& info : local.drive->get_url_infos()) {
            if (info.url.ends_with(archive)) {
                item = info;
            }
        }
        ASSERT_FALSE(item.checksum.empty());
        if (!row.checksum) {
            item.checksum.clear();
        }
        world.served().server().faults().add(
            atlasync::mapserver::parse_fault("*" + to_narrow(archive) + "=" + row.fault));
        DownloadPackage package(*local.drive);
        package.add_item(item);
        drain_messages();
        EXPECT_EQ(package.download(), row.result);
        EXPECT_EQ(world.served().requests_to("/maps/regions" + to_narrow(archive), 2), 2u);
        for (const std::string& tile : region.tiles) {
            EXPECT_EQ(fs::exists(tile_file(folder, tile)), row.result == kResultOk) << tile;
        }
        // The second fetch counts from 0 again; the progress shown does not go back.
        std::uint64_t shown = 0;
        for (const Message& message : take_messages()) {
            if (message.type == MSG_DOWNLOAD_PROGRESS && message.kind == ITEM_PROGRESS) {
                EXPECT_GE(message.bytes1, shown);
                shown = message.bytes1;
            }
        }
    }
}

// The catalog item of a region's archive.
URLInfo region_item(PhoneDrive& drive, const atlasync::mapserver::WorldRegion& region) {
    const std::wstring archive = L"/R" + std::to_wstring(region.idid) + L".zip";
    for (const URLInfo& info : drive.get_url_infos()) {
        if (info.url.ends_with(archive)) {
            return info;
        }
    }
    ADD_FAILURE() << "no item for region " << region.idid;
    return {};
}

bool region_on_drive(const fs::path& drive, const atlasync::mapserver::WorldRegion& region) {
    // The first tile is shared with the region before.
    return std::all_of(region.tiles.begin() + 1, region.tiles.end(),
                       [&](const std::string& tile) { return fs::exists(tile_file(drive, tile)); });
}

TEST(DownloadPackage, ErrorsOfTheCurrentOrTheNextItemComeInItemOrder) {
    struct Row {
        const char* name;
        const char* firstFault;   // on the first region's archive, or none
        const char* secondFault;  // on the second's, downloaded while the first is placed
        Result result;
        bool firstPlaced;
    };
    const Row rows[] = {
        {"next missing", nullptr, "status:404", kResultServerError, true},
        {"current damaged", "damage-at:60", "delay:300", kResultCorruptArchive, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ServedWorld world;
        const fs::path folder = world.make_drive(DriveOptions{});
        LocalDrive local(folder, world.url());
        const auto& regions = world.world.regions;
        URLInfo first = region_item(*local.drive, regions[0]);
        first.checksum.clear();  // the CRC finds the damage, while the next downloads
        const URLInfo second = region_item(*local.drive, regions[1]);
        auto& faults = world.served().server().faults();
        using Fault = std::pair<const URLInfo*, const char*>;
        for (const auto& [item, fault] :
             {Fault{&first, row.firstFault}, Fault{&second, row.secondFault}}) {
            if (fault != nullptr) {
                const std::string path = to_narrow(item->url.substr(item->url.rfind(L'/')));
                faults.add(atlasync::mapserver::parse_fault("*" + path + "=" + fault));
            }
        }
        DownloadPackage package(*local.drive);
        package.add_item(first);
        package.add_item(second);
        drain_messages();
        EXPECT_EQ(package.download(), row.result);
        EXPECT_EQ(region_on_drive(folder, regions[0]), row.firstPlaced);
        EXPECT_FALSE(region_on_drive(folder, regions[1]));
        EXPECT_EQ(files_below(to_narrow(package.temp_folder())), 0u);
        std::vector<Message> steps = take_messages();
        std::erase_if(steps, [](const Message& m) { return m.kind == ITEM_PROGRESS; });
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back().kind, PACKAGE_FINISHED);
        EXPECT_EQ(steps.back().result, row.result);
        // The first item's end is the last item step: the second has none.
        const auto last = std::find_if(steps.rbegin(), steps.rend(), [](const Message& m) {
            return m.type == MSG_DOWNLOAD_PROGRESS && m.kind == ITEM_FINISHED;
        });
        ASSERT_NE(last, steps.rend());
        EXPECT_EQ(last->id, first.id);
        EXPECT_EQ(last->result, row.firstPlaced ? kResultOk : row.result);
    }
}

TEST(DownloadPackage, ArchivesUnpackOntoALocalDriveWithoutFollowingItsLinks) {
    ServedWorld world;
    const fs::path folder = world.make_drive(DriveOptions{});
    const auto& region = world.world.regions[0];
    const std::string tile = region.tiles[1];
    const fs::path outside = world.make_drive(DriveOptions{}) / "outside";
    put_file(outside / "kept", "not ours");
    // A tile's name is a link out of the drive, and one tile folder is too.
    fs::remove(tile_file(folder, tile));
    fs::create_directories(tile_file(folder, tile).parent_path());
    fs::create_symlink(outside / "kept", tile_file(folder, tile));
    LocalDrive local(folder, world.url());
    DownloadPackage package(*local.drive);
    package.add_item(region_item(*local.drive, region));
    ASSERT_EQ(package.download(), kResultOk);
    EXPECT_EQ(read_file(outside / "kept"), "not ours");
    EXPECT_FALSE(fs::is_symlink(tile_file(folder, tile)));
    EXPECT_TRUE(region_on_drive(folder, region));
    // No work names are left beside the files.
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        EXPECT_FALSE(entry.path().filename().string().ends_with(".part")) << entry.path();
    }

    const fs::path tileFolder = tile_file(folder, tile).parent_path();
    fs::remove_all(tileFolder);
    fs::create_directory_symlink(outside, tileFolder);
    EXPECT_EQ(package.download(), kResultPhoneFileSystem);
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
}

TEST(DownloadPackage, ContentTypesAndItemTypesFollowTheText) {
    EXPECT_EQ(expected_content_type(L"http://h/a/b.CDT"), L"image/x-coreldrawtemplate");
    EXPECT_EQ(expected_content_type(L"http://h/a/b.xml"), L"application/xml");
    EXPECT_EQ(expected_content_type(L"http://h/a/b"), L"application/zip");
    EXPECT_EQ(download_item_type(L"CityIndex"), DownloadItemType::CityIndex);
    EXPECT_EQ(download_item_type(L"Maptiles"), DownloadItemType::MapTiles);
    EXPECT_EQ(download_item_type(L"something"), DownloadItemType::Unknown);
}

TEST(DownloadPackage, SmallArchivesBehindAHeldLargeOneAreFetchedMeanwhileAndPlacedOnlyAfterIt) {
    ServedWorld world;
    const fs::path folder = world.make_drive(DriveOptions{});
    LocalDrive local(folder, world.url());
    URLInfo first = region_item(*local.drive, world.world.regions[0]);
    // Larger, by the catalog, than what a fetch in flight may still have to
    // come while others start: only small archives may start behind it.
    first.byteSize = 2 * ItemFetcher::kBytesInFlight;
    first.checksum.clear();
    auto& faults = world.served().server().faults();
    faults.add(atlasync::mapserver::parse_fault(
        "*/R" + std::to_string(world.world.regions[0].idid) + ".zip=hold"));
    DownloadPackage package(*local.drive);
    package.add_item(first);
    std::size_t indexes = 0;
    std::size_t voices = 0;
    for (const URLInfo& info : local.drive->get_url_infos()) {
        const bool index = info.url.find(L"/cityindex/") != std::wstring::npos;
        if (index || info.type == L"voice") {
            ASSERT_LE(info.byteSize, ItemFetcher::kSmallItem);
            package.add_item(info);
            ++(index ? indexes : voices);
        }
    }
    ASSERT_GE(indexes + voices, 2u);
    const fs::path diskcache = folder / "cities" / "diskcache";
    const std::size_t filesBefore = files_below(diskcache);
    auto download = std::async(std::launch::async, [&] { return package.download(); });
    while (faults.held() == 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(world.served().requests_to("/maps/cityindex/", indexes), indexes);
    EXPECT_EQ(world.served().requests_to("/voices/", voices), voices);
    service_cancel_flag().set();
    faults.release_held();
    EXPECT_EQ(download.get(), kResultCancelled);
    service_cancel_flag().reset();
    // In item order: nothing behind the held archive reached the drive.
    EXPECT_EQ(files_below(diskcache), filesBefore);
    EXPECT_EQ(files_below(to_narrow(package.temp_folder())), 0u);
}

}  // namespace
