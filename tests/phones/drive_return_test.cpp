#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "service/content/config_file.h"
#include "service/content/map_settings.h"
#include "service/content/version_manager.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/phones/phone_manager.h"
#include "tests/content/drive_fixture.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kTiles = 200;

// A volume whose maps are still in the old place below "private", so that
// selecting it moves the whole disk cache.
fs::path old_style_volume(const fs::path& folder) {
    const fs::path diskcache = folder / "private/20001f63/diskcache";
    put_file(folder / "private/20001f63/qf",
             "format:QF\nclient_id:qtvmaps3.0\nclient_version:1.3.15.0\nbuild:0812 x b4\n"
             "quota:1\ndiskcache:private\\20001f63\\diskcache\n");
    std::uint8_t config[ConfigFile::kFullSize];
    ConfigFile::encode(VersionInfo(1, 1, 7, 0), 0, config);
    put_file(diskcache / "config.cfg", std::string(std::begin(config), std::end(config)));
    for (int i = 0; i < kTiles; ++i) {
        put_file(diskcache / "A" / std::to_string(i % 10) / ("T" + std::to_string(i) + ".cdt"),
                 std::string(512, 't'));
    }
    return folder;
}

// A drive that came back (its reconnection handled on another thread) while
// the worker moved its disk cache replaced and freed the settings that the
// move and the user interface were still reading.
TEST(ReturningDrive, ComesBackDuringADiskCacheMoveWithoutTakingTheSettingsFromItsReaders) {
    drain_messages();
    TempDir dir;
    const fs::path folder = old_style_volume(dir.path() / "volume");
    const std::wstring root = to_wide(folder.string());
    Phone* phone = PhoneManager::AddPhone(L"VOLUME", L"");
    phone->set_can_install_sis(true);  // so that the reads reach the build text
    PhoneDrive* drive =
        PhoneManager::AddPhoneDrive(phone, std::make_unique<FileSystemWin>(root), false);
    ASSERT_NE(drive, nullptr);
    ASSERT_TRUE(drive->valid());

    std::atomic<bool> moved{false};
    std::thread returns([&] {
        while (!moved) {
            PhoneManager::AddPhoneDrive(phone, std::make_unique<FileSystemWin>(root), false);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::thread reads([&] {
        while (!moved) {
            MapsappVersionInfo version;
            (void)drive->get_installed_mapsapp_version(version);
            (void)drive->map_package_version_text();
        }
    });
    const Result result = VersionManager(*drive).move_diskcache();
    moved = true;
    returns.join();
    reads.join();

    EXPECT_EQ(result, kResultOk);
    EXPECT_TRUE(fs::exists(folder / "cities/diskcache/A/9/T199.cdt"));
    // Back once more after the move: it finds the settings where the move left them.
    EXPECT_EQ(PhoneManager::AddPhoneDrive(phone, std::make_unique<FileSystemWin>(root), false),
              drive);
    EXPECT_EQ(drive->map_settings()->diskcache(), L"cities\\diskcache");
    EXPECT_EQ(drive->map_settings()->build(), L"0812 x b4");
    drain_messages();
    PhoneManager::FreeDeviceMap();
}

}  // namespace
}  // namespace atlasync::testing
