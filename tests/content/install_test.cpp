#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "service/content/map_settings.h"
#include "service/content/maps_app_package.h"
#include "service/content/maps_update_info.h"
#include "service/content/mapsapp_installation.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/message.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/devices/connectivity_session.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/devices/local_disk.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/settings_file.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/mapserver/served_content.h"

namespace {

using namespace MapsService;
using atlasync::testing::drain_messages;
using atlasync::testing::PhoneFarm;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::ServedContent;
using atlasync::testing::SettingsFile;
using atlasync::testing::take_messages;
namespace fs = std::filesystem;

constexpr std::uint32_t kPhaseTransfer = 4;

// Installer catalog: 1 fits, 2 has a size that is no number, 3 names a missing file.
void write_installer_content(const fs::path& folder) {
    put_file(folder / "manifest.txt", "package touchfw catalogs/touchfw.txt encoding=raw\n");
    std::string catalog;
    for (const auto& [id, size, file] : std::vector<std::tuple<int, std::string, std::string>>{
             {1, "20000", "maps_33.sis"}, {2, "n/a", "maps_33.sis"}, {3, "10", "gone.sis"}}) {
        catalog += "record " + std::to_string(id) +
                   " 0 Maps\nmandatory_version=3.3\n"
                   "client_id=qtvmaps3.0\nclient_version=1.3.16.0\nbuild=build:0812 x b4\n"
                   "content_size=" +
                   size + "\nfile={root}/apps/" + file + "\n";
    }
    put_file(folder / "catalogs/touchfw.txt", catalog);
    put_file(folder / "files/apps/maps_33.sis", std::string(20000, 'S'));
}

std::vector<Message> of_type(const std::vector<Message>& messages, std::int32_t type) {
    std::vector<Message> found;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(found),
                 [type](const Message& m) { return m.type == type; });
    return found;
}

// A phone farm with the connectivity library started over it.
class PhoneInstallation : public ::testing::Test {
protected:
    void SetUp() override {
        service_cancel_flag().reset();
        maps_app_package().clear();
        drain_messages();
    }
    void TearDown() override {
        m_memory.reset();
        if (m_started) {
            EXPECT_EQ(stop_connectivity(m_dm), kResultOk);
        }
        service_cancel_flag().reset();
        maps_app_package().clear();
        drain_messages();
    }

    // A phone "SN-1" made with the options, and its memory "C:".
    void make_phone(std::vector<std::string> options) {
        options.insert(options.begin(), {"--serial", "SN-1", "--features", "0x220"});
        m_farm.create("phone", options);
        ASSERT_EQ(start_connectivity(m_dm), kResultOk);
        m_started = true;
        m_memory = LinkdeckFileSystem::get_file_system(L"SN-1", L"C:");
        ASSERT_NE(m_memory, nullptr);
    }

    fs::path installer() {
        const fs::path path = m_farm.outside() / "maps.sis";
        put_file(path, std::string(5000, 'I'));
        return path;
    }
    Result install(std::int32_t generation, IniFile& settings) {
        return m_memory->install_on_phone(generation, installer().wstring(), 5000, settings);
    }
    fs::path marker() const { return m_farm.memory("phone", 'C') / "data/mapsinstalled"; }

    PhoneFarm m_farm;
    DLNKDMHANDLE m_dm = nullptr;
    bool m_started = false;
    std::unique_ptr<LinkdeckFileSystem> m_memory;
    SettingsFile m_plain;
};

TEST(InstallationStatus, LibraryStatusesMapToInstallationOutcomes) {
    EXPECT_EQ(installation_result_for_status(DLNK_OK, false), kResultOk);
    EXPECT_EQ(installation_result_for_status(DLNK_STATUS(0x80600003u), false), 112);
    EXPECT_EQ(installation_result_for_status(DLNK_STATUS(0x101u), false), 101);
    EXPECT_EQ(installation_result_for_status(DLNK_STATUS(0x80400009u), false), 114);
    EXPECT_EQ(installation_result_for_status(DLNK_STATUS(0x80200006u), false), kResultDriveOffline);
    EXPECT_EQ(installation_result_for_status(DLNK_E_CANCELLED, false), 17);
    EXPECT_EQ(installation_result_for_status(DLNK_E_CANCELLED, true), kResultCancelled);
    EXPECT_EQ(installation_result_for_status(DLNK_STATUS(0x80600005u), true), kResultFailed);
}

TEST_F(PhoneInstallation, FailingStatusGivesItsOutcomeAndThePhasesCarryIt) {
    make_phone({"--install-status", "0x80600003"});
    EXPECT_EQ(install(330, m_plain.file), 112);
    const auto progress = of_type(take_messages(), MSG_INSTALL_PROGRESS);
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress[0].kind, 0);
    EXPECT_EQ(progress[0].bytes1, 5000u);
    EXPECT_EQ(progress[1].kind, 2);
    EXPECT_EQ(progress[progress.size() - 2].kind, 3);
    EXPECT_EQ(progress.back().kind, 1);
    EXPECT_EQ(progress.back().result, 112);
    const auto transfers = std::count_if(progress.begin(), progress.end(),
                                         [](const Message& m) { return m.kind == kPhaseTransfer; });
    EXPECT_EQ(transfers, 10);
}

TEST_F(PhoneInstallation, CancelledByThePhoneIsSeventeenByTheUserTwo) {
    make_phone({"--install-status", "0x80100020"});
    EXPECT_EQ(install(330, m_plain.file), 17);
    service_cancel_flag().set();
    EXPECT_EQ(install(330, m_plain.file), kResultCancelled);
}

TEST_F(PhoneInstallation, UserCancelReachesTheLibraryDuringTheTransfer) {
    make_phone({"--step-ms", "5"});
    service_cancel_flag().set();
    EXPECT_EQ(install(330, m_plain.file), kResultCancelled);
    // The library stopped after the first transfer step it reported.
    const auto progress = of_type(take_messages(), MSG_INSTALL_PROGRESS);
    EXPECT_EQ(std::count_if(progress.begin(), progress.end(),
                            [](const Message& m) { return m.kind == kPhaseTransfer; }),
              1);
    EXPECT_EQ(progress.back().result, kResultCancelled);
}

TEST_F(PhoneInstallation, NewerGenerationsNeedNoMarkerOlderOnesDo) {
    make_phone({"--no-marker"});
    EXPECT_EQ(install(320, m_plain.file), kResultOk);
    EXPECT_EQ(install(310, m_plain.file), 18);
    // A marker left from before does not count: it is removed before the installation.
    put_file(marker(), "old");
    EXPECT_EQ(install(310, m_plain.file), 18);
    EXPECT_FALSE(fs::exists(marker()));

    SettingsFile mapsInstalled("mapsinstalled=1\n");
    EXPECT_EQ(install(310, mapsInstalled.file), kResultOk);
    EXPECT_FALSE(fs::exists(marker()));
}

TEST_F(PhoneInstallation, MarkerWrittenByThePhoneCompletesAndIsDeleted) {
    make_phone({});
    EXPECT_EQ(install(310, m_plain.file), kResultOk);
    EXPECT_FALSE(fs::exists(marker()));
}

TEST_F(PhoneInstallation, UserActionIsAskedForWithoutProgress) {
    make_phone({"--user-action"});
    EXPECT_EQ(install(330, m_plain.file), kResultOk);
    const std::vector<Message> messages = take_messages();
    EXPECT_EQ(of_type(messages, MSG_INSTALL_USER_ACTION_NEEDED).size(), 1u);
    for (const Message& m : of_type(messages, MSG_INSTALL_PROGRESS)) {
        EXPECT_LE(m.percent1, 100.0);
    }
}

TEST_F(PhoneInstallation, OtherMemoriesAndInstalledApplicationsOfThePhone) {
    make_phone({"--applications", "Clock,Maps"});
    EXPECT_EQ(m_memory->get_root_directory().path(), L"\\\\C:\\");
    EXPECT_EQ(LinkdeckFileSystem::get_file_system(L"SN-1", L"Z:"), nullptr);
    EXPECT_EQ(LinkdeckFileSystem::get_file_system(L"SN-9", L"C:"), nullptr);

    std::vector<std::wstring> names;
    ASSERT_EQ(m_memory->get_installed_applications(names), kResultOk);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Clock", L"Maps"}));
}

// The whole installation of a maps drive's phone, with the installer served.
class DriveInstallation : public PhoneInstallation {
protected:
    void TearDown() override {
        m_drive.reset();
        PhoneInstallation::TearDown();
    }

    // The phone with maps settings on its card "E:".
    void make_maps_phone(std::int32_t generation, std::vector<std::string> options = {}) {
        make_phone(std::move(options));
        m_qf = "format:QF\nclient_id:qtvmaps2.0\nquota:1\ndiskcache:cities\\diskcache\n";
        put_file(m_farm.memory("phone", 'E') / "qf", m_qf);
        std::uint8_t config[ConfigFile::kFullSize];
        ConfigFile::encode(VersionInfo(1, 1, 7, 0), 0, config);
        put_file(m_farm.memory("phone", 'E') / "cities/diskcache/config.cfg",
                 std::string(std::begin(config), std::end(config)));
        m_phone.set_device_generation(generation);
        auto card = LinkdeckFileSystem::get_file_system(L"SN-1", L"E:");
        ASSERT_NE(card, nullptr);
        m_drive = std::make_unique<PhoneDrive>(&m_phone, std::move(card), true);
        m_drive->load_map_settings();
        m_drive->set_server_url(m_served.server_url());
    }
    Result install_item(std::int32_t id) {
        MapsUpdateInfo info;
        info.itemId = id;
        return install_maps_application(*m_drive, info);
    }
    std::string card_qf() const { return read_file(m_farm.memory("phone", 'E') / "qf"); }
    static bool work_folder_left() {
        std::string temp;
        EXPECT_EQ(user_temp_folder(temp), kResultOk);
        return fs::exists(fs::path(temp) / ("maps_installer." + std::to_string(::getpid())));
    }

    ServedContent m_served{write_installer_content};
    Phone m_phone{L"phone", L"SN-1"};
    std::unique_ptr<PhoneDrive> m_drive;
    std::string m_qf;
};

TEST_F(DriveInstallation, InstalledApplicationUpdatesTheQuotaFile) {
    make_maps_phone(330);
    ASSERT_EQ(install_item(1), kResultOk);
    const std::string qf = card_qf();
    EXPECT_NE(qf.find("client_id:qtvmaps3.0\n"), std::string::npos) << qf;
    EXPECT_NE(qf.find("client_version:1.3.16.0\n"), std::string::npos) << qf;
    EXPECT_NE(qf.find("build:0812 x b4\n"), std::string::npos) << qf;
    EXPECT_EQ(m_drive->map_settings()->client_version(), VersionInfo(1, 3, 16, 0));
    std::vector<std::wstring> names;
    ASSERT_EQ(m_memory->get_installed_applications(names), kResultOk);
    EXPECT_EQ(names, std::vector<std::wstring>{L"maps_33"});
    EXPECT_FALSE(work_folder_left());

    const auto downloads = of_type(take_messages(), MSG_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(downloads.front().bytes1, 20000u);
}

// The drive returning during an installation reloaded the settings that the
// installation was rewriting, while the user interface read them.
TEST_F(DriveInstallation, DriveEventsDuringTheInstallationLeaveItsSettingsWhole) {
    make_maps_phone(330, {"--step-ms", "20"});
    m_phone.set_can_install_sis(true);
    m_drive->set_connected(true);
    std::atomic<bool> installed{false};
    std::set<std::wstring> builds;
    std::thread events([&] {
        while (!installed) {
            m_drive->load_map_settings();
            MapsappVersionInfo version;
            (void)m_drive->get_installed_mapsapp_version(version);
            builds.insert(m_drive->map_settings()->build());
        }
    });
    const Result result = install_item(1);
    installed = true;
    events.join();
    ASSERT_EQ(result, kResultOk);
    EXPECT_EQ(m_drive->map_settings()->client_version(), VersionInfo(1, 3, 16, 0));
    // Each read saw the settings before or after the installation, nothing between.
    for (const std::wstring& build : builds) {
        EXPECT_TRUE(build.empty() || build == L"0812 x b4") << to_narrow(build);
    }
}

TEST_F(DriveInstallation, SizeThatIsNoNumberDownloadsWithExpectedSizeZero) {
    make_maps_phone(330);
    ASSERT_EQ(install_item(2), kResultOk);
    const auto downloads = of_type(take_messages(), MSG_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(downloads.front().kind, PACKAGE_STARTED);
    EXPECT_EQ(downloads.front().bytes1, 0u);
}

TEST_F(DriveInstallation, EveryFailureLeavesNoWorkFolderAndTheQuotaFileAsItWas) {
    make_maps_phone(330, {"--install-status", "0x80600003"});
    EXPECT_EQ(install_item(1), 112);
    EXPECT_FALSE(work_folder_left());
    EXPECT_EQ(card_qf(), m_qf);

    EXPECT_NE(install_item(3), kResultOk);  // the installer is not on the server
    EXPECT_FALSE(work_folder_left());
    EXPECT_EQ(install_item(99), kResultNoUpdateInfo);
    EXPECT_FALSE(work_folder_left());
    EXPECT_EQ(card_qf(), m_qf);
}

}  // namespace
