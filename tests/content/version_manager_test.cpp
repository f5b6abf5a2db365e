#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <thread>

#include "mapserver/faults.h"
#include "service/content/download_package.h"
#include "service/content/map_settings.h"
#include "service/content/phone_drive.h"
#include "service/content/update_record.h"
#include "service/content/version_manager.h"
#include "service/content/version_requests.h"
#include "service/core/exceptions.h"
#include "service/core/failure_cause.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/devices/local_disk.h"
#include "service/protocol/tlv_decode.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/served_world.h"
#include "tests/content/settings_file.h"

namespace {

using namespace MapsService;
using atlasync::mapserver::DriveLayout;
using atlasync::mapserver::DriveOptions;
using atlasync::mapserver::MapVersion;
using atlasync::mapserver::WorldOptions;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::ScopedVariable;
using atlasync::testing::ServedWorld;
using atlasync::testing::SettingsFile;
using atlasync::testing::TempDir;
using atlasync::testing::tile_file;
namespace fs = std::filesystem;

WorldOptions versions(const std::string& server, const std::vector<std::string>& list) {
    WorldOptions options;
    options.regions = 2;
    options.voices = 1;
    options.mapVersion = *MapVersion::parse(server);
    for (const std::string& listed : list) {
        options.versionList.push_back(*MapVersion::parse(listed));
    }
    return options;
}

DriveOptions drive(const std::string& mapVersion, DriveLayout layout = DriveLayout::Root) {
    DriveOptions options;
    options.mapVersion = mapVersion;
    options.layout = layout;
    return options;
}

VersionInfo config_version(const fs::path& folder,
                           const std::string& diskcache = "cities/diskcache") {
    const std::string bytes = read_file(folder / diskcache / "config.cfg");
    VersionInfo version;
    std::uint64_t size = 0;
    EXPECT_TRUE(ConfigFile::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size(), version, size));
    return version;
}

// The target of the update the drive recorded as under way; unset without one.
VersionInfo recorded_target(const fs::path& folder) {
    const fs::path path = folder / "cities/diskcache/update.pending";
    if (!fs::exists(path)) {
        return VersionInfo();
    }
    const auto record = UpdateRecord::decode(read_file(path));
    return record ? record->target : VersionInfo();
}

std::string served_index(const ServedWorld& world, const std::string& name) {
    return read_file(world.content() / "index" / name);
}

TEST(VersionRequests, UrlCarriesLabelHostPathAndHexElements) {
    std::string url;
    ASSERT_TRUE(build_version_request_url(VersionRequest::VersionList, {"http", "localhost:1"},
                                          VersionInfo(1, 3, 0, 0), VersionInfo(2, 0, 5, 0), url));
    const std::string prefix = "http://ver.localhost:1/vt?";
    ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
    const std::string query = url.substr(prefix.size());
    const Decode decode(query.data(), query.size(), Decode::kHex);
    EXPECT_TRUE(decode.complete());
    // Type 4; the map version's parts other than 0; the client's; the list length 64.
    std::vector<std::pair<int, std::uint32_t>> items;
    for (const TlvItem& item : decode.items()) {
        items.emplace_back(item.tag, item.tag == 1 ? item.value[0] | item.value[1] << 8
                                                   : *Decode::value_uint32(item));
    }
    EXPECT_EQ(items, (std::vector<std::pair<int, std::uint32_t>>{
                         {1, 4}, {23, 2}, {26, 5}, {72, 1}, {73, 3}, {3, 64}}));
    const VersionInfo zero(0, 0, 0, 0);
    ASSERT_TRUE(
        build_version_request_url(VersionRequest::CachedatHeader, {"http", "h"}, zero, zero, url));
    EXPECT_EQ(url.rfind("http://map.h/qb?010200000016", 0), 0u) << url;
    ASSERT_TRUE(
        build_version_request_url(VersionRequest::CategoryTree, {"http", "h"}, zero, zero, url));
    EXPECT_EQ(url.rfind("http://cat.h/ct?01020007006301", 0), 0u);

    // Without a host, or with one that leaves no room, nothing is asked.
    EXPECT_FALSE(build_version_request_url(VersionRequest::ServerVersion, {}, VersionInfo(),
                                           VersionInfo(), url));
    EXPECT_FALSE(build_version_request_url(VersionRequest::ServerVersion,
                                           {"http", std::string(236, 'h')}, VersionInfo(),
                                           VersionInfo(), url));
    EXPECT_FALSE(build_version_request_url(VersionRequest::CachedatHeader,
                                           {"http", std::string(150, 'h')}, VersionInfo(2, 1, 3, 4),
                                           VersionInfo(1, 3, 15, 9), url));
}

// A server named by an address was asked as "ver.127.0.0.1", which names nothing.
TEST(VersionRequests, ServicesAreAskedBesideANamedServerAndAtAnAddressOrLocalhostItself) {
    const struct {
        const wchar_t* serverUrl;
        const char* expected;  // the server-version request's URL up to its query
    } cases[] = {
        {L"http://mapdata.atlasync-maps.net", "http://ver.atlasync-maps.net/vt?"},
        {L"https://maps.localhost:8443/base", "https://ver.localhost:8443/vt?"},
        {L"http://127.0.0.1:18080", "http://127.0.0.1:18080/vt?"},
        {L"https://[::1]:8443/maps/", "https://[::1]:8443/maps/vt?"},
        {L"https://localhost:8443", "https://localhost:8443/vt?"},
    };
    for (const auto& c : cases) {
        std::string url;
        ASSERT_TRUE(build_version_request_url(VersionRequest::ServerVersion,
                                              version_server(c.serverUrl), VersionInfo(),
                                              VersionInfo(), url));
        EXPECT_EQ(url.substr(0, url.find('?') + 1), c.expected);
    }
    EXPECT_TRUE(version_server(L"").host.empty());
    EXPECT_TRUE(version_server(L"mapdata.example.org").host.empty());
}

TEST(VersionManager, BehindOnMinorIsOfferedTheNewestFeatureReleaseOfItsOwnMinor) {
    ServedWorld world(versions("2.4.0.0", {"2.3.6.0", "2.3.5.0"}));
    const fs::path folder = world.make_drive(drive("2.3.4.0"));
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).Check_version(false),
              kResultMapsNeedUpdate);
    EXPECT_EQ(config_version(folder), VersionInfo(2, 3, 4, 0));

    VersionManager forced(*local.drive, settings.file);
    EXPECT_EQ(forced.Check_version(true), kResultMapVersionChanged);
    EXPECT_EQ(recorded_target(folder), VersionInfo(2, 3, 6, 0));
    EXPECT_EQ(forced.map_version(), VersionInfo(2, 3, 6, 0));
}

TEST(VersionManager, AheadOfEveryListedFeatureReleaseTargetsTheServerVersion) {
    ServedWorld world(versions("2.4.0.0", {"2.3.6.0"}));
    const fs::path folder = world.make_drive(drive("2.3.7.0"));
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).Check_version(true),
              kResultMapVersionChanged);
    EXPECT_EQ(recorded_target(folder), VersionInfo(2, 4, 0, 0));
}

TEST(VersionManager, UnsetPartsCompareAsZeroSoTheDriveIsCurrent) {
    ServedWorld world(versions("1.2.0.0", {"1.2.0.0"}));
    const fs::path folder = world.make_drive(drive("1.2"));
    ASSERT_EQ(config_version(folder).c(), VersionInfo::kUnset);
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    VersionManager manager(*local.drive, settings.file);
    EXPECT_EQ(manager.Check_version(false), kResultOk);
    // Asked once, then the cached answer.
    VersionInfo server;
    EXPECT_EQ(manager.GetServerVersion(server), kResultOk);
    EXPECT_EQ(server, VersionInfo(1, 2, 0, 0));
    EXPECT_EQ(world.served().requests_when_idle("/vt"), 1u);
}

TEST(VersionManager, DriveWithoutMapVersionAdoptsTheServersAndFetchesItsIndexFiles) {
    ServedWorld world(versions("2.4.0.0", {}));
    const fs::path folder = world.make_drive(drive("1.1.7.0"));
    std::uint8_t unset[ConfigFile::kFullSize];
    ConfigFile::encode(VersionInfo(), 0, unset);
    put_file(folder / "cities/diskcache/config.cfg",
             std::string(std::begin(unset), std::end(unset)));
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(false), kResultOk);
    EXPECT_EQ(config_version(folder), VersionInfo(2, 4, 0, 0));

    const std::string header = served_index(world, "cachedat_header.hdr");
    EXPECT_EQ(read_file(folder / "cities/diskcache/CachedatHeader.cdt"),
              header.substr(0, 3) + std::string(1, '\0') + header.substr(3));
    EXPECT_EQ(read_file(folder / "cities/diskcache/F/1/FFFFFFF1.cdt"),
              served_index(world, "category_tree.tlv"));
}

TEST(VersionManager, CheckServerMarkerForcesTheIndexFilesAndGoesOnceTheHeaderIsWritten) {
    ServedWorld world(versions("1.1.7.0", {}));
    const fs::path folder = world.make_drive(drive("1.1.7.0"));
    put_file(folder / "cities/diskcache/CachedatHeader.cdt", "old");
    put_file(folder / "cities/diskcache/chksrv", "");
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(false), kResultOk);
    EXPECT_NE(read_file(folder / "cities/diskcache/CachedatHeader.cdt"), "old");
    EXPECT_FALSE(fs::exists(folder / "cities/diskcache/chksrv"));

    // Current, header present, no marker: the server's files are not asked again.
    const std::size_t headers = world.served().requests_when_idle("/qb");
    ASSERT_GE(headers, 1u);
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(false), kResultOk);
    EXPECT_EQ(world.served().requests_when_idle("/qb"), headers);
}

TEST(VersionManager, ForcedMapVersionSkipsTheServer) {
    ServedWorld world(versions("2.4.0.0", {}));
    const fs::path folder = world.make_drive(drive("2.3.4.0"));
    LocalDrive local(folder, world.url());
    SettingsFile settings("ForceMapVersion=3.0\n");
    EXPECT_EQ(VersionManager(*local.drive, settings.file).Check_version(true),
              kResultMapVersionChanged);
    const VersionInfo adopted = recorded_target(folder);
    EXPECT_EQ(adopted.a(), 3u);
    EXPECT_EQ(adopted.b(), 0u);
    EXPECT_EQ(adopted.c(), VersionInfo::kUnset);
    EXPECT_EQ(adopted.d(), VersionInfo::kUnset);
    EXPECT_EQ(world.served().requests_when_idle("/vt"), 0u);

    SettingsFile broken("ForceMapVersion=three\n");
    EXPECT_THROW((void)VersionManager(*local.drive, broken.file).Check_version(false),
                 ConversionFailedException);
}

TEST(VersionManager, UnreachableServerEndsInNine) {
    ServedWorld world(versions("2.4.0.0", {}));
    const fs::path folder = world.make_drive(drive("2.3.4.0"));
    put_file(folder / "cities/diskcache/CachedatHeader.cdt", "header");
    LocalDrive local(folder, L"http://maps.localhost:1");
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(false),
              kResultServerError);
    EXPECT_EQ(config_version(folder), VersionInfo(2, 3, 4, 0));
}

TEST(VersionManager, ForcedUpdateRecordsTheTargetAndWipesMapsAndVoicesKeepingTheOldVersion) {
    ServedWorld world(versions("2.4.0.0", {}));
    // The legacy layout keeps its voices beside the disk cache, in "cities".
    DriveOptions options = drive("2.1.0.0", DriveLayout::Legacy);
    options.regions = {"all"};
    options.voices = {"all"};
    const fs::path folder = world.make_drive(options);
    const fs::path voice = folder / "cities" / ("v30_" + world.world.voices[0].language);
    ASSERT_TRUE(fs::exists(voice));
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(true), kResultOk);
    // The download that brings the new maps writes the new version.
    EXPECT_EQ(config_version(folder), VersionInfo(2, 1, 0, 0));
    EXPECT_EQ(recorded_target(folder), VersionInfo(2, 4, 0, 0));
    for (const auto& [name, tile] : world.world.tiles) {
        EXPECT_FALSE(fs::exists(folder / "cities/diskcache" / name.substr(0, 1) /
                                name.substr(1, 1) / (name + ".cdt")))
            << name;
    }
    EXPECT_FALSE(fs::exists(voice));
    const std::string qf = read_file(folder / "qf");
    EXPECT_NE(qf.find("voicefiles:cities\\diskcache\\voices"), std::string::npos) << qf;
    EXPECT_TRUE(fs::exists(folder / "cities/diskcache/CachedatHeader.cdt"));
}

TEST(VersionManager, OldStyleDiskCacheUnderPrivateMovesToCities) {
    ServedWorld world(versions("1.1.7.0", {}));
    DriveOptions options = drive("1.1.7.0", DriveLayout::Private);
    options.regions = {"100001"};
    const fs::path folder = world.make_drive(options);
    const std::string tile = world.world.regions[0].tiles[1];
    const std::string tilePath = tile.substr(0, 1) + "/" + tile.substr(1, 1) + "/" + tile + ".cdt";
    ASSERT_TRUE(fs::exists(folder / "private/20001f63/diskcache" / tilePath));
    LocalDrive local(folder, world.url());
    SettingsFile settings;
    EXPECT_EQ(VersionManager(*local.drive, settings.file).update_map_version(false), kResultOk);

    EXPECT_TRUE(fs::exists(folder / "cities/diskcache" / tilePath));
    EXPECT_EQ(config_version(folder), VersionInfo(1, 1, 7, 0));
    EXPECT_FALSE(fs::exists(folder / "private/20001f63/qf"));
    const std::string qf = read_file(folder / "qf");
    EXPECT_NE(qf.find("diskcache:cities\\diskcache"), std::string::npos) << qf;
    EXPECT_NE(qf.find("voicefiles:cities\n"), std::string::npos) << qf;
    EXPECT_EQ(read_file(folder / "cities/diskcache/qf"), qf);
    EXPECT_EQ(local.drive->map_settings()->diskcache(), L"cities\\diskcache");
    EXPECT_TRUE(fs::exists(folder / "cities/diskcache/CachedatHeader.cdt"));
}

// A drive whose wipe before an update removes some hundreds of files, and
// archives that the update fetches below the test's own temporary folder.
struct LongWipe {
    LongWipe() : world(large_world()) {
        DriveOptions options = drive("1.1.6.0");
        options.regions = {"all"};
        options.voices = {"all"};
        folder = world.make_drive(options);
    }
    static WorldOptions large_world() {
        WorldOptions options = versions("1.1.7.0", {});
        options.regions = 48;
        options.tileMin = 64;
        options.tileMax = 128;
        return options;
    }
    // Where this user's updates keep their work files.
    static fs::path work_folder() {
        std::string folder;
        EXPECT_EQ(user_temp_folder(folder), kResultOk);
        return fs::path(folder) / "download_temp";
    }
    // The download that follows the wipe, of the items the drive's record names.
    static Result download(PhoneDrive& drive, UpdateRecord& record) {
        DownloadPackage package(drive);
        package.resume(record);
        Result result = drive.add_url_infos(record.regions, package);
        if (result == kResultOk) {
            result = drive.add_url_infos(record.voices, package);
        }
        return result == kResultOk ? package.download() : result;
    }
    // The first region's archive, by its file name.
    std::string first_archive() const {
        return "R" + std::to_string(world.world.regions[0].idid) + ".zip";
    }
    // The files in the items' folders of this user's update work folders.
    static std::vector<fs::path> fetched_files() {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& folder : fs::directory_iterator(work_folder(), error)) {
            if (folder.path().filename() == "kept") {
                continue;
            }
            for (const auto& entry : fs::recursive_directory_iterator(folder.path(), error)) {
                if (entry.is_regular_file(error)) {
                    files.push_back(entry.path());
                }
            }
        }
        return files;
    }
    // Whether the first region's archive is on its way: a fetch writes it under its own name.
    bool first_archive_fetching() const {
        const auto files = fetched_files();
        return std::any_of(files.begin(), files.end(), [&](const fs::path& file) {
            return file.filename() == first_archive();
        });
    }
    std::size_t kept_archives() const {
        std::size_t count = 0;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(work_folder() / "kept", error)) {
            count += entry.is_regular_file() ? 1 : 0;
        }
        return count;
    }

    ServedWorld world;
    fs::path folder;
    TempDir temp;
    ScopedVariable tmpdir{"TMPDIR", temp.path().string()};
    SettingsFile settings;
};

// The first region's archive fetched ahead: the server holds its answer
// until the test lets it go.
struct HeldFirstRegion : LongWipe {
    HeldFirstRegion() {
        faults().add(atlasync::mapserver::parse_fault("*/" + first_archive() + "=hold,times:1"));
    }
    atlasync::mapserver::FaultPlan& faults() { return world.served().server().faults(); }
    // Lines logged for paths holding `part`, once the server stopped and with
    // it every answer; the line of a hold ("held") counts when asked for.
    std::size_t lines(const std::string& part, bool holds) {
        world.served().server().stop();
        std::size_t count = 0;
        for (const std::string& line : world.served().log()) {
            const auto get = line.find(" GET ");
            const auto end = line.find(' ', get + 5);
            count += get != std::string::npos && end != std::string::npos &&
                     line.substr(get + 5, end - get - 5).find(part) != std::string::npos &&
                     (holds || !line.ends_with(" held"));
        }
        return count;
    }
    // The work folders of this user's updates.
    static std::vector<fs::path> work_folders() {
        std::vector<fs::path> folders;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(work_folder(), error)) {
            if (entry.path().filename() != "kept") {
                folders.push_back(entry.path());
            }
        }
        return folders;
    }
    // Updates the drive; the wipe waits for no fetch, so it ends while the
    // held answer is still to come.
    void update(PhoneDrive& drive) {
        ASSERT_EQ(VersionManager(drive, settings.file).update_map_version(true), kResultOk);
        ASSERT_EQ(read_update_record(drive, record), PendingUpdate::Recorded);
        ASSERT_TRUE(record.wiped);
        ASSERT_TRUE(drive.find_url_info(1000000 + world.world.regions[0].idid, held));
        ASSERT_EQ(work_folders().size(), 1u);  // that of the fetches still under way
        while (faults().held() == 0) {
            std::this_thread::yield();
        }
    }
    // Waits for the download's first message on the held region.
    void await_held_started() {
        Message message;
        while (message_queue().pop(message, 100) != kResultOk ||
               message.type != MSG_DOWNLOAD_PROGRESS || message.kind != ITEM_STARTED ||
               message.id != held.id) {
        }
    }
    void expect_every_tile() const {
        for (const auto& [name, tile] : world.world.tiles) {
            EXPECT_TRUE(fs::exists(tile_file(folder, name))) << name;
        }
    }

    UpdateRecord record;
    URLInfo held;
};

TEST(VersionManager, TheDownloadTakesOverTheFetchesOfTheWipeStillUnderWayAndAsksForNoneAgain) {
    HeldFirstRegion wipe;
    LocalDrive local(wipe.folder, wipe.world.url());
    wipe.update(*local.drive);
    ASSERT_FALSE(fs::exists(tile_file(wipe.folder, wipe.world.world.regions[1].tiles[1])));
    EXPECT_EQ(wipe.kept_archives(), 0u);

    auto download = std::async(std::launch::async,
                               [&] { return LongWipe::download(*local.drive, wipe.record); });
    // Told at once by the take-over; without one, only once the held fetch was
    // given up and the region asked for again.
    wipe.await_held_started();
    wipe.faults().release_held();
    ASSERT_EQ(download.get(), kResultOk);
    wipe.expect_every_tile();
    EXPECT_EQ(wipe.kept_archives(), 0u);
    EXPECT_TRUE(HeldFirstRegion::work_folders().empty());
    EXPECT_EQ(wipe.lines(wipe.first_archive(), true), 2u);  // its hold, and its one answer
    EXPECT_EQ(wipe.lines("/maps/regions/", false), wipe.world.world.regions.size());
}

TEST(VersionManager, FetchesAheadNoDownloadTookOverStopWithTheUpdateLockAndKeepWhatCameWhole) {
    HeldFirstRegion wipe;
    LocalDrive local(wipe.folder, wipe.world.url());
    wipe.update(*local.drive);
    // Once one archive came whole: named by its URL (KeptArchives::name_of).
    const auto whole = [] {
        const auto files = LongWipe::fetched_files();
        return std::any_of(files.begin(), files.end(),
                           [](const fs::path& file) { return file.stem().string().size() == 32; });
    };
    while (!whole()) {
        std::this_thread::yield();
    }

    local.drive->release_update_lock();
    EXPECT_TRUE(HeldFirstRegion::work_folders().empty());
    EXPECT_GE(wipe.kept_archives(), 1u);
    EXPECT_FALSE(
        fs::exists(LongWipe::work_folder() / "kept" / KeptArchives::name_of(wipe.held.url)));
    wipe.faults().release_held();
    ASSERT_EQ(LongWipe::download(*local.drive, wipe.record), kResultOk);
    wipe.expect_every_tile();
    EXPECT_EQ(wipe.kept_archives(), 0u);
    // Its hold and the late answer to a fetch that had ended, then the download's.
    EXPECT_EQ(wipe.lines(wipe.first_archive(), true), 3u);
}

// Ended between the two calls, the fetches are not taken over: the download
// asks again for what they did not bring.
TEST(VersionManager, FetchesAheadEndedByACancelOrALostDriveBeforeTheDownloadAreFetchedAgain) {
    for (const bool lost : {false, true}) {
        SCOPED_TRACE(lost ? "drive lost" : "cancelled");
        HeldFirstRegion wipe;
        LocalDrive local(wipe.folder, wipe.world.url());
        wipe.update(*local.drive);
        ASSERT_TRUE(wipe.first_archive_fetching());
        if (lost) {
            local.drive->set_connected(false);
        } else {
            service_cancel_flag().set();
        }
        // The held fetch ended: its file goes with it.
        while (wipe.first_archive_fetching()) {
            std::this_thread::yield();
        }
        local.drive->set_connected(true);
        service_cancel_flag().reset();

        wipe.faults().release_held();
        ASSERT_EQ(LongWipe::download(*local.drive, wipe.record), kResultOk);
        wipe.expect_every_tile();
        EXPECT_TRUE(HeldFirstRegion::work_folders().empty());
        EXPECT_EQ(wipe.lines(wipe.first_archive(), true), 3u);
    }
}

TEST(VersionManager, ADownloadOfItemsInAnotherOrderWaitsForTheFetchesAheadAndTakesTheirArchives) {
    HeldFirstRegion wipe;
    LocalDrive local(wipe.folder, wipe.world.url());
    wipe.update(*local.drive);
    std::reverse(wipe.record.regions.begin(), wipe.record.regions.end());

    // The held answer does not come: it is given up, and asked for again.
    ASSERT_EQ(LongWipe::download(*local.drive, wipe.record), kResultOk);
    wipe.expect_every_tile();
    EXPECT_EQ(wipe.kept_archives(), 0u);
    EXPECT_TRUE(HeldFirstRegion::work_folders().empty());
    wipe.faults().release_held();
    EXPECT_EQ(wipe.lines(wipe.first_archive(), true), 3u);
}

TEST(VersionManager, AFetchAheadThatFailedTellsItsCauseOnlyWithTheDownloadThatNeedsIt) {
    LongWipe wipe;
    const std::string archive = wipe.first_archive();
    wipe.world.served().server().faults().add(
        atlasync::mapserver::parse_fault("*/" + archive + "=status:404"));
    LocalDrive local(wipe.folder, wipe.world.url());
    clear_failure_cause();
    ASSERT_EQ(VersionManager(*local.drive, wipe.settings.file).update_map_version(true), kResultOk);
    // Over once answered and its file gone.
    const auto answered = [&] {
        const auto log = wipe.world.served().log();
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.find("/" + archive + " 404") != std::string::npos;
        });
    };
    while (!answered() || wipe.first_archive_fetching()) {
        std::this_thread::yield();
    }
    EXPECT_EQ(failure_cause(), "");

    UpdateRecord record;
    ASSERT_EQ(read_update_record(*local.drive, record), PendingUpdate::Recorded);
    EXPECT_NE(LongWipe::download(*local.drive, record), kResultOk);
    EXPECT_NE(failure_cause().find("answered HTTP status 404"), std::string::npos)
        << failure_cause();
}

}  // namespace
