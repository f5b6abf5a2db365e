#include <gtest/gtest.h>

#include "service/content/maps_bucket.h"
#include "service/content/voice_info.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/devices/path_helpers.h"
#include "tests/content/drive_fixture.h"

namespace {

using namespace MapsService;
using atlasync::testing::drive_path;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::TempDir;

TEST(VoiceFolders, Layout20IsKnownByItsNameAndValidWithConfigXml) {
    TempDir dir;
    put_file(dir / "English/config.xml", "<voice/>");
    put_file(dir / "English/clip.ogg", "12345");
    put_file(dir / "hindi/config.xml", "<voice/>");
    put_file(dir / "german/clip.ogg", "x");
    put_file(dir / "maps/config.xml", "<voice/>");
    FileSystemWin fs(to_wide(dir.path().string()));

    VoiceInfo english;
    ASSERT_TRUE(read_voice_folder_20(fs, drive_path(dir.path(), "English"), english));
    EXPECT_EQ(english.languageId, L"L01");
    EXPECT_EQ(english.name, L"English");
    EXPECT_TRUE(english.valid);
    EXPECT_EQ(english.size, 13u);

    VoiceInfo hindi;
    ASSERT_TRUE(read_voice_folder_20(fs, drive_path(dir.path(), "hindi"), hindi));
    EXPECT_EQ(hindi.languageId, L"");

    VoiceInfo german;
    ASSERT_TRUE(read_voice_folder_20(fs, drive_path(dir.path(), "german"), german));
    EXPECT_FALSE(german.valid);

    VoiceInfo maps;
    EXPECT_FALSE(read_voice_folder_20(fs, drive_path(dir.path(), "maps"), maps));
}

TEST(VoiceFolders, Layout30ReadsTheLastSkinFileOfTheListing) {
    TempDir dir;
    put_file(dir / "v/Skin_a.lua", "language = \"first\"\naudio_files_version = \"2.1\"\n");
    put_file(dir / "v/skin_b.LUA", "  language=\"second\"  \r\naudio_files_version=\"3.0.1\"");
    put_file(dir / "v/skin_c.txt", "audio_files_version=9");
    put_file(dir / "none/skin_x.lua", "language=\"x\"\n");
    put_file(dir / "empty/readme.txt", "");
    FileSystemWin fs(to_wide(dir.path().string()));

    std::vector<std::wstring> listing;
    ASSERT_EQ(fs.fetch_filenames(drive_path(dir.path(), "v"), listing), kResultOk);
    std::wstring lastSkin;
    for (const std::wstring& file : listing) {
        const std::wstring name = file_part(file);
        if (name == L"Skin_a.lua" || name == L"skin_b.LUA") {
            lastSkin = name;
        }
    }
    VoiceInfo voice;
    ASSERT_TRUE(read_voice_folder_30(fs, drive_path(dir.path(), "v"), voice));
    EXPECT_TRUE(voice.valid);
    if (lastSkin == L"Skin_a.lua") {
        EXPECT_EQ(voice.name, L"first");
        EXPECT_EQ(voice.version.to_text(), L"2.1");
        EXPECT_EQ(voice.version.c(), 255u);
    } else {
        EXPECT_EQ(voice.name, L"second");
        EXPECT_EQ(voice.version.to_text(), L"3.0.1");
    }

    VoiceInfo none;
    EXPECT_FALSE(read_voice_folder_30(fs, drive_path(dir.path(), "none"), none));
    EXPECT_FALSE(read_voice_folder_30(fs, drive_path(dir.path(), "empty"), none));
}

TEST(VoiceFolders, BucketPicksTheReaderByMapVersionAndDropsInvalidVoices) {
    TempDir dir;
    put_file(dir / "qf",
             "format:QF\nclient_id:qtvmaps2.0\nquota:1\ndiskcache:cities\\diskcache\n"
             "voicefiles:cities\\voices\n");
    std::string config(32, '\0');
    config[0] = 1;  // map version 1.0.0.0: the 2.0 layout
    put_file(dir / "cities/diskcache/config.cfg", config);
    put_file(dir / "cities/voices/english/config.xml", "<voice/>");
    put_file(dir / "cities/voices/german/clip.ogg", "x");
    put_file(dir / "cities/voices/v30_french/skin_french.lua", "audio_files_version=\"2.1\"\n");
    {
        LocalDrive local(dir.path());
        std::vector<VoiceInfo> voices;
        ASSERT_EQ(local.drive->maps_bucket().GetVoicesList(voices), kResultOk);
        ASSERT_EQ(voices.size(), 1u);
        EXPECT_EQ(voices[0].name, L"english");
    }
    config[4] = 1;  // 1.1.0.0: the 3.0 layout
    put_file(dir / "cities/diskcache/config.cfg", config);
    LocalDrive local(dir.path());
    std::vector<VoiceInfo> voices;
    ASSERT_EQ(local.drive->maps_bucket().GetVoicesList(voices), kResultOk);
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(file_part(voices[0].path), L"v30_french");
}

TEST(VoiceFolders, LanguageTableIgnoresCaseAndNeverMatchesAnEmptyName) {
    std::wstring id;
    EXPECT_TRUE(find_language_id(L"french (canada)", id));
    EXPECT_EQ(id, L"L51");
    EXPECT_TRUE(find_language_id(L"ENGLISH_US", id));
    EXPECT_EQ(id, L"L10");
    EXPECT_FALSE(find_language_id(L"", id));
    EXPECT_FALSE(find_language_id(L"klingon", id));
}

}  // namespace
