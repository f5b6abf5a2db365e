#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "service/content/config_file.h"
#include "service/content/map_settings.h"
#include "service/content/quota_file.h"
#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/devices/path_helpers.h"
#include "tests/content/drive_fixture.h"

namespace {

using namespace MapsService;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::TempDir;

std::string config_bytes(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                         std::uint32_t sizeWord, std::size_t length) {
    std::string bytes(length, '\0');
    const std::uint32_t words[6] = {a, b, c, d, 0, sizeWord};
    for (int w = 0; w < 6; ++w) {
        for (int i = 0; i < 4; ++i) {
            bytes[static_cast<std::size_t>(w * 4 + i)] = static_cast<char>(words[w] >> (8 * i));
        }
    }
    return bytes;
}

const std::string kQuota =
    "format:QF\nclient_id:qtvmaps2.0\nquota:5000\ndiskcache:cities\\diskcache\n"
    "voicefiles:cities\nlanguageID:7\n";

class DriveSettings : public ::testing::Test {
protected:
    void SetUp() override {
        put_file(dir / "cities/diskcache/config.cfg", config_bytes(1, 1, 7, 0, 4096, 24));
    }
    FileSystemWin drive_fs() { return FileSystemWin(to_wide(dir.path().string())); }

    TempDir dir;
};

TEST_F(DriveSettings, QuotaFileAtTheRootWinsUnlessItIsInNeitherForm) {
    put_file(dir / "qf", kQuota);
    put_file(dir / "private/20001f63/qf",
             "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:cities\\diskcache\n");
    FileSystemWin fs = drive_fs();
    EXPECT_EQ(QuotaFile::lookup(fs)->client_id(), L"qtvmaps2.0");

    put_file(dir / "qf", "Format:QF\nclient_id:x\nquota:1\n");  // keys are case-sensitive
    EXPECT_EQ(QuotaFile::lookup(fs)->client_id(), L"qtvmaps3.0");

    std::filesystem::remove(dir / "private/20001f63/qf");
    put_file(dir / "private/20001f63/diskcache/qf", "format: QF\nclient_id:deep\nquota:2\n");
    EXPECT_EQ(QuotaFile::lookup(fs)->client_id(), L"deep");

    std::filesystem::remove(dir / "private/20001f63/diskcache/qf");
    EXPECT_EQ(QuotaFile::lookup(fs), nullptr);
}

TEST_F(DriveSettings, QuotaFileNeedsClientIdAndQuota) {
    FileSystemWin fs = drive_fs();
    put_file(dir / "qf", "format:QF\nquota:1\ndiskcache:cities\\diskcache\n");
    EXPECT_EQ(QuotaFile::lookup(fs), nullptr);
    put_file(dir / "qf", "format:QF\nclient_id:qtvmaps2.0\r\ndiskcache:cities\\diskcache\n");
    EXPECT_EQ(QuotaFile::lookup(fs), nullptr);
    put_file(dir / "qf", "format:QF\nclient_id:a\nquota:lots\n");
    EXPECT_THROW(QuotaFile::lookup(fs), ConversionFailedException);
}

TEST_F(DriveSettings, CurrentFormReadsValuesDropsDrivePrefixAndDerivesClientVersion) {
    put_file(dir / "qf",
             "format:QF\r\nclient_id:qtvmaps2.0\nquota:  42\nttffiles:E:\\fonts\\x\n"
             "client_version:1.2.3\nquota:43\nbuild:0812 build:x b4");
    FileSystemWin fs = drive_fs();
    const auto quota = QuotaFile::lookup(fs);
    ASSERT_NE(quota, nullptr);
    EXPECT_EQ(quota->quota(), 43u);  // a later line replaces an earlier one
    EXPECT_EQ(quota->ttffiles(), L"fonts\\x");
    EXPECT_EQ(quota->build(), L"0812 build:x b4");
    EXPECT_TRUE(quota->has_client_version());
    EXPECT_EQ(quota->client_version().to_text(), L"1.2.0.0");  // three parts: from client_id
}

TEST_F(DriveSettings, LegacyOneLineFormIsReadAndRewrittenInCurrentForm) {
    put_file(dir / "qf", "1000000;cities\\\\diskcache");
    FileSystemWin fs = drive_fs();
    auto quota = QuotaFile::lookup(fs);
    ASSERT_NE(quota, nullptr);
    EXPECT_EQ(quota->quota(), 1000000u);
    EXPECT_EQ(quota->diskcache(), L"cities\\diskcache");
    EXPECT_EQ(quota->voicefiles(), L"cities");
    EXPECT_EQ(quota->client_id(), L"R47");
    EXPECT_EQ(quota->client_version().to_text(), L"1.1.1.1");
    EXPECT_FALSE(quota->has_client_version());

    ASSERT_EQ(quota->write(), kResultOk);
    EXPECT_EQ(read_file(dir / "qf"),
              "format:QF\nclient_id:R47\nvoice_mode:\nquota:1000000\ndiskcache:cities\\diskcache\n"
              "voicefiles:cities\ncachedats:\n");
    EXPECT_EQ(QuotaFile::lookup(fs)->diskcache(), L"cities\\diskcache");
}

TEST_F(DriveSettings, LegacyFormOnTheSettingsMemoryPointsVoicesThere) {
    put_file(dir / "qf", "77;private\\20001f66\\diskcache");
    FileSystemWin fs = drive_fs();
    const auto quota = QuotaFile::lookup(fs);
    ASSERT_NE(quota, nullptr);
    EXPECT_EQ(quota->voicefiles(),
              fs.get_root_directory().path() + L"\\private\\20001f66\\settings");
}

TEST_F(DriveSettings, WriterPutsClientVersionOnlyWhenTheFileHadOne) {
    put_file(dir / "qf", kQuota + "client_version:1.3.16.0\nbuild:b1\n");
    FileSystemWin fs = drive_fs();
    auto quota = QuotaFile::lookup(fs);
    ASSERT_EQ(quota->write(), kResultOk);
    EXPECT_EQ(
        read_file(dir / "qf"),
        "format:QF\nclient_id:qtvmaps2.0\nvoice_mode:\nquota:5000\ndiskcache:cities\\diskcache\n"
        "voicefiles:cities\ncachedats:\nlanguageID:7\nclient_version:1.3.16.0\nbuild:b1\n");
}

TEST_F(DriveSettings, ConfigFileReadsBothSizesAndRejectsShortOnes) {
    FileSystemWin fs = drive_fs();
    const std::wstring path =
        atlasync::testing::drive_path(dir.path(), "cities/diskcache/config.cfg");
    EXPECT_EQ(ConfigFile(fs, path).diskcache_size(), 4096u);
    EXPECT_EQ(ConfigFile(fs, path).map_version().to_text(), L"1.1.7.0");

    put_file(dir / "cities/diskcache/config.cfg", config_bytes(2, 0, 1, 0, 0xFFFFFFFF, 24));
    EXPECT_THROW(ConfigFile(fs, path), PhoneDriveInvalidException);
    std::string full = config_bytes(2, 0, 1, 0, 0xFFFFFFFF, 32);
    full[28] = 1;  // 2^32
    full[24] = 5;
    put_file(dir / "cities/diskcache/config.cfg", full);
    EXPECT_EQ(ConfigFile(fs, path).diskcache_size(), 0x100000005u);
    put_file(dir / "cities/diskcache/config.cfg", config_bytes(2, 0, 1, 0, 9, 23).substr(0, 23));
    EXPECT_THROW(ConfigFile(fs, path), PhoneDriveInvalidException);
}

TEST_F(DriveSettings, UnchangedValuesDoNotRewriteTheFiles) {
    put_file(dir / "qf", kQuota);
    FileSystemWin fs = drive_fs();
    MapSettings settings(fs);
    // The short form on disk shows whether the file was rewritten (always 32 bytes).
    ASSERT_EQ(settings.config_file().set_diskcache_size(4096), kResultOk);
    ASSERT_EQ(settings.config_file().set_map_version(VersionInfo(1, 1, 7, 255)), kResultOk);
    EXPECT_EQ(std::filesystem::file_size(dir / "cities/diskcache/config.cfg"), 24u);
    ASSERT_EQ(settings.set_voicefiles(L"cities"), kResultOk);
    EXPECT_EQ(read_file(dir / "qf"), kQuota);

    ASSERT_EQ(settings.config_file().set_diskcache_size(4097), kResultOk);
    EXPECT_EQ(std::filesystem::file_size(dir / "cities/diskcache/config.cfg"), 32u);
    ASSERT_EQ(settings.set_voicefiles(L"cities\\diskcache\\voices"), kResultOk);
    EXPECT_NE(read_file(dir / "qf").find("voicefiles:cities\\diskcache\\voices\n"),
              std::string::npos);
    MapSettings reread(fs);
    EXPECT_EQ(reread.diskcache_size(), 4097u);
    EXPECT_EQ(reread.map_version().to_text(), L"1.1.7.0");
}

TEST_F(DriveSettings, DriveOfClient1315WithoutConfigGetsANewOne) {
    std::filesystem::remove(dir / "cities/diskcache/config.cfg");
    std::filesystem::remove(dir / "cities/diskcache");
    put_file(dir / "qf", "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:cities\\diskcache\n");
    FileSystemWin fs = drive_fs();
    MapSettings settings(fs);
    EXPECT_EQ(settings.map_version().to_text(), L"0.1.18.0");
    EXPECT_EQ(std::filesystem::file_size(dir / "cities/diskcache/config.cfg"), 32u);

    std::filesystem::remove(dir / "cities/diskcache/config.cfg");
    put_file(dir / "qf",
             "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:cities\\diskcache\n"
             "client_version:1.2.0.0\n");
    EXPECT_THROW(MapSettings{fs}, PhoneDriveInvalidException);
    EXPECT_FALSE(std::filesystem::exists(dir / "cities/diskcache/config.cfg"));
}

TEST_F(DriveSettings, ADriveReadsItsSettingsAndKeepsThemWhenAReloadFails) {
    atlasync::testing::LocalDrive local(dir.path());
    PhoneDrive& drive = *local.drive;
    EXPECT_FALSE(drive.valid());
    EXPECT_THROW(drive.load_map_settings(), PhoneDriveInvalidException);
    EXPECT_EQ(drive.map_settings(), nullptr);
    put_file(dir / "qf", kQuota);
    drive.load_map_settings();
    ASSERT_NE(drive.map_settings(), nullptr);
    EXPECT_EQ(drive.map_settings()->language_code(), L"l07");
    EXPECT_EQ(drive.map_settings()->maps_root(), L"cities");
    // qtvmaps2.0 is a legacy client: its map package version text ends in "h".
    EXPECT_EQ(drive.map_package_version_text(), L"1.1.7h");

    std::filesystem::remove(dir / "qf");
    EXPECT_THROW(drive.load_map_settings(), PhoneDriveInvalidException);
    ASSERT_NE(drive.map_settings(), nullptr);
    EXPECT_EQ(drive.map_settings()->language_code(), L"l07");
}

// Folder settings were joined to the root unchecked: a wipe or a download could
// act next to the drive.
TEST_F(DriveSettings, FolderSettingsLeavingTheDriveMakeItNoMapsDrive) {
    const std::filesystem::path root = dir / "drive";
    put_file(root / "cities/diskcache/config.cfg", config_bytes(1, 1, 7, 0, 4096, 24));
    put_file(dir / "outside/diskcache/config.cfg", config_bytes(1, 1, 7, 0, 4096, 24));
    FileSystemWin fs(to_wide(root.string()));
    const std::string base = "format:QF\nclient_id:qtvmaps2.0\nquota:1\n";
    const std::string kept = "diskcache:cities\\diskcache\n";
    const std::string refused[] = {
        kept + "voicefiles:..\\outside", kept + "voicefiles:cities/../../outside",
        kept + "voicefiles:./a\\..\\..", kept + "cachedats:\\cities",
        kept + "cachedats:/etc",         kept + "ttffiles:D:fonts",
        kept + "voicefiles:c:\\voices",  "diskcache:..\\outside\\diskcache\n",
    };
    for (const std::string& folders : refused) {
        put_file(root / "qf", base + folders + "\n");
        EXPECT_THROW(MapSettings{fs}, PhoneDriveInvalidException) << folders;
    }
    put_file(root / "qf", "1;..\\outside\\diskcache");
    EXPECT_THROW(MapSettings{fs}, PhoneDriveInvalidException) << "legacy form";

    // Climbing within the drive and a drive prefix of the font folder are fine.
    put_file(root / "qf",
             base + kept + "voicefiles:cities\\..\\voices\nttffiles:E:\\cities\\fonts\n");
    MapSettings settings(fs);
    EXPECT_EQ(settings.voicefiles(), L"cities\\..\\voices");
    EXPECT_EQ(settings.ttffiles(), L"cities\\fonts");
}

// qf text was read one byte per character and written back through the locale:
// "caf\xC3\xA9" came back as C3 83 C2 A9 and such folder names were not found.
TEST_F(DriveSettings, TextRoundTripsByteForByteAndNonAsciiFoldersResolve) {
    const std::string text =
        "format:QF\nclient_id:qtvmaps2.0\nvoice_mode:\nquota:5000\ndiskcache:cities\\diskcache\n"
        "voicefiles:cities\\r\xC3\xB6sten\ncachedats:\nbuild:caf\xC3\xA9 \xFF\xC3\xE2\x82\n";
    put_file(dir / "qf", text);
    put_file(dir / "cities/r\xC3\xB6sten/english/config.xml", "voice");
    FileSystemWin fs = drive_fs();
    MapSettings settings(fs);
    EXPECT_EQ(settings.build().substr(0, 4), L"caf\u00E9");
    EXPECT_TRUE(fs.directory_exists(
        join_path(fs.get_root_directory().path(), settings.voicefiles() + L"\\english")));
    ASSERT_EQ(settings.quota_file().write(), kResultOk);
    EXPECT_EQ(read_file(dir / "qf"), text);
}

}  // namespace
