// The demo's folder: a served world and a simulated phone with old maps, made
// once and used as they are afterwards.

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>

#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/support/temp_dir.h"
#include "ui/demo/demo_environment.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;
using ui::DemoEnvironment;

std::wstring card_version(const DemoEnvironment& demo) {
    MapsService::FileSystemWin card(MapsService::to_wide((demo.phone_folder() / "E").string()));
    return MapsService::MapSettings(card).map_version().to_text();
}

TEST(DemoEnvironment, AFreshFolderGetsAWorldAndAPhoneWhoseCardHoldsOlderMaps) {
    TempDir tmp;
    const fs::path folder = tmp.path() / "new" / "demo";
    DemoEnvironment demo(folder);
    EXPECT_FALSE(demo.reused());
    EXPECT_EQ(demo.folder(), folder);
    EXPECT_TRUE(fs::exists(demo.world_folder() / "manifest.txt"));
    EXPECT_FALSE(fs::exists(folder / "world.partial"));
    EXPECT_TRUE(fs::exists(demo.phone_folder() / "phone.ini"));
    EXPECT_EQ(card_version(demo), L"1.1.6.0");
    EXPECT_TRUE(fs::exists(demo.phone_folder() / "E" / "cities" / "diskcache"));
    // Only the finished phone is in the farm.
    std::size_t phones = 0;
    for (const auto& entry : fs::directory_iterator(demo.farm_folder())) {
        EXPECT_EQ(entry.path().filename(), "demo-phone");
        ++phones;
    }
    EXPECT_EQ(phones, 1u);
    const std::string settings = read_file(demo.settings_file());
    EXPECT_NE(settings.find("SimFarm=" + demo.farm_folder().string() + "\n"), std::string::npos);
}

TEST(DemoEnvironment, ASecondRunUsesTheWorldAndThePhoneAsTheFirstLeftThem) {
    TempDir tmp;
    { DemoEnvironment first(tmp.path()); }
    // What the first run's update would have changed on the card stays.
    write_file(tmp.path() / "farm" / "demo-phone" / "E" / "left-by-first-run", "x");
    const auto worldTime = fs::last_write_time(tmp.path() / "world" / "manifest.txt");
    DemoEnvironment second(tmp.path());
    EXPECT_TRUE(second.reused());
    EXPECT_TRUE(fs::exists(second.phone_folder() / "E" / "left-by-first-run"));
    EXPECT_EQ(fs::last_write_time(second.world_folder() / "manifest.txt"), worldTime);
}

TEST(DemoEnvironment, AnInterruptedFirstRunIsMadeAgainInsteadOfUsedHalfDone) {
    TempDir tmp;
    // A world without its manifest and a phone still being built.
    fs::create_directories(tmp.path() / "world" / "files");
    fs::create_directories(tmp.path() / "farm" / ".demo-phone.new" / "E");
    DemoEnvironment demo(tmp.path());
    EXPECT_FALSE(demo.reused());
    EXPECT_TRUE(fs::exists(demo.world_folder() / "manifest.txt"));
    EXPECT_FALSE(fs::exists(tmp.path() / "farm" / ".demo-phone.new"));
    EXPECT_EQ(card_version(demo), L"1.1.6.0");
}

TEST(DemoEnvironment, TheServerAnswersOnLoopbackUntilStoppedAndLogsToTheFolder) {
    TempDir tmp;
    DemoEnvironment demo(tmp.path());
    const std::string root = demo.start_server();
    ASSERT_EQ(root.rfind("localhost:", 0), 0u) << root;
    const int port = std::stoi(root.substr(10));
    httplib::Client client("127.0.0.1", port);
    const auto answer = client.Get("/maps/regions.xml");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->body.find("<Package>"), std::string::npos);
    EXPECT_EQ(demo.start_server(), root);  // one server per demo
    demo.stop_server();
    EXPECT_FALSE(client.Get("/maps/regions.xml"));
    EXPECT_NE(read_file(tmp.path() / "mapserver.log").find("GET /maps/regions.xml 200"),
              std::string::npos);
}

TEST(DemoEnvironment, AFolderThatCannotBeMadeIsAClearError) {
    TempDir tmp;
    write_file(tmp.path() / "file", "not a folder");
    try {
        DemoEnvironment demo(tmp.path() / "file" / "demo");
        FAIL() << "a demo in a folder below a file";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("cannot make the demo folder"), std::string::npos)
            << error.what();
    }
}

}  // namespace
}  // namespace atlasync::testing
