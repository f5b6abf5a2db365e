// atlasync-tool check and update as processes against the served world.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "exit_codes/exit_codes.h"
#include "mapserver/drive/drive_writer.h"
#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/facade/maps_service.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
namespace fs = std::filesystem;

class ToolEndToEnd : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        serve();
        m_volume = write_old_drive(m_work.path() / "volume", {1, 4});
    }

    std::vector<std::string> arguments(const std::string& command) const {
        return {command, "--server-root", "localhost:" + std::to_string(world_port()), "--volume",
                m_volume.string()};
    }
    int world_port() const { return m_world->served().port(); }

    // An update whose second region's archive is held back (only its first
    // fetch: a second update is not held), once it has placed its first item;
    // null when it ended before.
    std::unique_ptr<ChildProcess> update_held_after_its_first_item() {
        world().served().server().faults().add(mapserver::parse_fault(
            "*/R" + std::to_string(world().world.regions[4].idid) + ".zip=hold,times:1"));
        auto tool = std::make_unique<ChildProcess>(ATLASYNC_TOOL_PATH, arguments("update"));
        std::string line;
        do {
            line = tool->read_line();
        } while (!line.empty() && line.find("download ITEM_FINISHED") == std::string::npos);
        EXPECT_FALSE(line.empty()) << "the update ended before its first item finished";
        return line.empty() ? nullptr : std::move(tool);
    }

    // Runs the tool with --json; stdout must be one JSON document, stderr JSON lines.
    nlohmann::json run_json(const std::string& command, int expectedStatus,
                            std::vector<nlohmann::json>* errorLines = nullptr) {
        const fs::path errors = m_work.path() / "stderr.txt";
        std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" 2>\"" + errors.string() + "\"",
                                         ATLASYNC_TOOL_PATH};
        for (const std::string& arg : arguments(command)) {
            args.push_back(arg);
        }
        args.push_back("--json");
        std::string output;
        EXPECT_EQ(run_program("/bin/sh", args, &output), expectedStatus) << output;
        if (errorLines != nullptr) {
            std::ifstream in(errors);
            for (std::string line; std::getline(in, line);) {
                errorLines->push_back(nlohmann::json::parse(line));
            }
        }
        return nlohmann::json::parse(output);
    }

    static int step_code(const nlohmann::json& document, const std::string& step) {
        for (const nlohmann::json& entry : document.at("steps")) {
            if (entry.at("step") == step) {
                return entry.at("code").get<int>();
            }
        }
        ADD_FAILURE() << "no step " << step << " in " << document.dump();
        return -1;
    }

    PhoneFarm m_farm;  // no phones: the volume is the only drive
    TempDir m_work;
    fs::path m_volume;
};

// Without a network of its own (only a loopback that is down), a name's lookup
// fails at once and no query leaves the machine. False when the kernel refuses.
bool network_namespaces_work() {
    return run_program("/usr/bin/unshare", {"--net", "/bin/true"}) == 0;
}

// The check's exit status, with its standard error in `errors`.
int check_errors(const std::vector<std::string>& prefix, const std::vector<std::string>& args,
                 std::string& errors) {
    std::vector<std::string> command = prefix;
    command.push_back(ATLASYNC_TOOL_PATH);
    command.insert(command.end(), args.begin(), args.end());
    std::vector<std::string> shell = {"-c", "exec \"$@\" 2>&1 >/dev/null", "sh"};
    shell.insert(shell.end(), command.begin(), command.end());
    return run_program("/bin/sh", shell, &errors);
}

// The map server's failure used to be told as a code alone; the host and
// libcurl's reason were only in a trace that nobody had asked for.
TEST_F(ToolEndToEnd, ACheckThatCannotReachTheServerNamesTheHostAndTheReasonOnStandardError) {
    struct Case {
        std::vector<std::string> args;
        bool isolated;  // in a network namespace of its own
        std::string line;
    };
    const std::string local = "localhost:" + std::to_string(world_port());
    const Case cases[] = {
        {{"check"},
         true,
         "atlasync-tool: check: cannot reach the map server mapdata.atlasync-maps.net: Couldn't "
         "resolve host name\n"},
        {{"check", "--server-root", "example.invalid"},
         true,
         "atlasync-tool: check: cannot reach the map server mapdata.example.invalid: Couldn't "
         "resolve host name\n"},
        {{"check", "--server-root", local},
         false,
         "atlasync-tool: check: the map server localhost answered HTTP status 404\n"},
    };
    if (!network_namespaces_work()) {
        GTEST_SKIP() << "no network namespace (unshare --net): a name lookup would leave loopback";
    }
    world().served().server().faults().add(mapserver::parse_fault("/pg*=status:404"));
    for (const Case& c : cases) {
        std::string errors;
        const std::vector<std::string> prefix =
            c.isolated ? std::vector<std::string>{"/usr/bin/unshare", "--net"}
                       : std::vector<std::string>{};
        EXPECT_EQ(check_errors(prefix, c.args, errors), 9) << errors;
        EXPECT_EQ(errors, c.line);
    }
    // --log: the trace names the URL and libcurl's own words, and only there.
    const fs::path log = m_work.path() / "check.log";
    std::string errors;
    EXPECT_EQ(
        check_errors({"/usr/bin/unshare", "--net"},
                     {"check", "--server-root", "example.invalid", "--log", log.string()}, errors),
        9);
    EXPECT_EQ(errors, cases[1].line);
    const std::string trace = read_file(log);
    EXPECT_NE(trace.find("transfer of http://mapdata.example.invalid/"), std::string::npos);
    EXPECT_NE(trace.find("; libcurl: Could not resolve host: mapdata.example.invalid"),
              std::string::npos)
        << trace;
}

TEST_F(ToolEndToEnd, CheckReportsTheOutdatedVolumeAndItsDownloadSizeWithoutChangingIt) {
    const auto before = snapshot(m_volume);
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("check"), &output), kExitUpdateOffered)
        << output;
    EXPECT_NE(output.find("select_phone_drive: 6"), std::string::npos) << output;
    EXPECT_NE(output.find("maps need an update"), std::string::npos) << output;
    EXPECT_NE(output.find("download size: "), std::string::npos) << output;
    EXPECT_NE(output.find("finalize: 0"), std::string::npos) << output;
    EXPECT_EQ(snapshot(m_volume), before);
}

// The server a command names, from its "server:" line.
std::string server_named(const std::string& output) {
    std::smatch found;
    return std::regex_search(output, found, std::regex("(^|\\n)server: +(\\S+)")) ? found[2].str()
                                                                                  : std::string();
}

// Check ended with 0 whether or not an update was offered: a script could not ask.
TEST_F(ToolEndToEnd, CheckEndsWithNinetyNineWhileAnUpdateIsOfferedAndZeroOnceTheDriveIsCurrent) {
    const struct {
        const char* command;
        int status;
    } steps[] = {{"check", kExitUpdateOffered}, {"update", kExitOk}, {"check", kExitOk}};
    for (const auto& step : steps) {
        std::string output;
        EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments(step.command), &output), step.status)
            << step.command << ": " << output;
    }
    EXPECT_EQ(map_version_of(m_volume), L"1.1.7.0");
}

TEST_F(ToolEndToEnd, TheDriveCommandAsksTheServerThatCheckAndUpdateAsk) {
    std::string checked;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("check"), &checked), kExitUpdateOffered)
        << checked;
    std::string read;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH,
                          {"drive", m_volume.string(), "--server-root",
                           "localhost:" + std::to_string(world_port())},
                          &read),
              0)
        << read;
    EXPECT_EQ(server_named(read), server_named(checked)) << read << checked;
    EXPECT_EQ(server_named(read), "http://localhost:" + std::to_string(world_port()));
    EXPECT_NE(read.find("regions:         2"), std::string::npos) << read;
}

TEST_F(ToolEndToEnd, UpdateBringsTheVolumeToTheServersVersionPrintingProgressLines) {
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), 0) << output;
    EXPECT_NE(output.find("download: 0"), std::string::npos) << output;
    EXPECT_NE(output.find("download PACKAGE_FINISHED"), std::string::npos) << output;
    EXPECT_EQ(map_version_of(m_volume), L"1.1.7.0");
}

TEST_F(ToolEndToEnd, AnInterruptCancelsTheUpdateWithTwo) {
    const auto tool = update_held_after_its_first_item();
    ASSERT_NE(tool, nullptr);
    tool->kill(SIGINT);
    const std::string rest = tool->read_all();
    EXPECT_EQ(tool->wait(), 2) << rest;
    EXPECT_NE(rest.find("Interrupted: cancelling."), std::string::npos) << rest;
    EXPECT_NE(rest.find("download: 2"), std::string::npos) << rest;
    EXPECT_NE(rest.find("finalize: 0"), std::string::npos) << rest;
}

// Two updates of one volume at once: the second stops before it changes
// anything, and the first goes on to the end.
TEST_F(ToolEndToEnd, ASecondUpdateOfAVolumeBeingUpdatedEndsWithNineteenAndChangesNothing) {
    const auto first = update_held_after_its_first_item();
    ASSERT_NE(first, nullptr);
    // The first update waits for its held archive: the volume stays as it is.
    const auto before = snapshot(m_volume);
    std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" 2>&1", ATLASYNC_TOOL_PATH};
    for (const std::string& arg : arguments("update")) {
        args.push_back(arg);
    }
    std::string output;
    EXPECT_EQ(run_program("/bin/sh", args, &output), 19) << output;
    EXPECT_NE(output.find("update_maps_version: another update of this drive is running"),
              std::string::npos)
        << output;
    EXPECT_EQ(snapshot(m_volume), before);

    world().served().server().faults().release_held();
    const std::string rest = first->read_all();
    EXPECT_EQ(first->wait(), 0) << rest;
    EXPECT_EQ(map_version_of(m_volume), L"1.1.7.0");
}

TEST_F(ToolEndToEnd, CheckAsJsonIsOneDocumentOfDriveVersionsSizeAndSteps) {
    const nlohmann::json document = run_json("check", kExitUpdateOffered);
    EXPECT_EQ(document.at("result"), kExitUpdateOffered);  // the status it ends with
    EXPECT_EQ(document.at("server"), "http://localhost:" + std::to_string(world_port()));
    EXPECT_TRUE(document.at("drive").at("maps_need_update").get<bool>());
    EXPECT_EQ(document.at("drive").at("name"), m_volume.string());
    EXPECT_EQ(document.at("map_data").at("installed_version"), "1.1.6.0");
    EXPECT_EQ(document.at("map_data").at("offered_version"), "1.1.7.0");
    EXPECT_GT(document.at("download").at("bytes").get<std::uint64_t>(), 0u);
    EXPECT_EQ(document.at("regions").size(), 2u);
    EXPECT_FALSE(document.at("voices").empty());
    ASSERT_EQ(document.at("phones").size(), 1u);  // the volume, as a phone of its own
    EXPECT_EQ(document.at("phones")[0].at("drives")[0].at("name"), m_volume.string());
    EXPECT_EQ(step_code(document, "select_phone_drive"), 6);
    EXPECT_EQ(document.at("steps").back(), (nlohmann::json{{"step", "finalize"}, {"code", 0}}));
}

TEST_F(ToolEndToEnd, UpdateAsJsonPrintsProgressLinesOnStderrAndTheOutcomeOnStdout) {
    std::vector<nlohmann::json> progress;
    const nlohmann::json document = run_json("update", 0, &progress);
    EXPECT_EQ(document.at("result"), 0);
    EXPECT_EQ(step_code(document, "download"), 0);
    const auto finished = std::find_if(progress.begin(), progress.end(), [](const auto& line) {
        return line.at("event") == "progress" && line.at("type") == "MSG_DOWNLOAD_PROGRESS" &&
               line.at("kind") == "PACKAGE_FINISHED";
    });
    EXPECT_NE(finished, progress.end());
    EXPECT_EQ(map_version_of(m_volume), L"1.1.7.0");
}

TEST_F(ToolEndToEnd, AFailedCheckAsJsonStillPrintsItsDocumentWithTheFailingCode) {
    const std::vector<std::string> args = {"check", "--server-root", "localhost:1", "--json"};
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, args, &output), 9) << output;
    const nlohmann::json document = nlohmann::json::parse(output);
    EXPECT_EQ(document.at("result"), 9);
    EXPECT_TRUE(document.at("drive").is_null());
    EXPECT_EQ(step_code(document, "get_mapsapp_catalog"), 9);
}

// Links in the voice folders led the wipe before an update into the user's files.
TEST_F(ToolEndToEnd, UpdateOfAVolumeWithLinksOffItLeavesEveryFileOffItUntouched) {
    TempDir outside;
    write_file(outside / "home/notes.txt", "mine");
    write_file(outside / "home/photos/p.jpg", "jpeg");
    const fs::path voices = m_volume / "cities/diskcache/voices";
    std::vector<fs::path> voiceFolders(fs::directory_iterator(voices), fs::directory_iterator{});
    ASSERT_FALSE(voiceFolders.empty());
    for (const fs::path& voice : voiceFolders) {
        fs::create_symlink(outside / "home", voice / "home");
    }
    fs::create_symlink(outside / "home", voices / "v30_linked");
    const auto before = snapshot(outside.path());

    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), 0) << output;
    EXPECT_EQ(map_version_of(m_volume), L"1.1.7.0");
    EXPECT_EQ(snapshot(outside.path()), before);
}

// A qf naming a voice folder off the volume made the update wipe that folder.
TEST_F(ToolEndToEnd, AVolumeWhoseSettingsPointOffItIsNoMapsDriveAndNothingChanges) {
    TempDir outside;
    fs::copy(m_volume / "cities/diskcache/voices", outside / "voices", fs::copy_options::recursive);
    std::string qf = read_file(m_volume / "qf");
    const std::string key = "voicefiles:";
    const std::size_t at = qf.find(key);
    ASSERT_NE(at, std::string::npos) << qf;
    std::string offDrive = fs::relative(outside / "voices", m_volume).string();
    std::replace(offDrive.begin(), offDrive.end(), '/', '\\');
    qf.replace(at + key.size(), qf.find('\n', at) - at - key.size(), offDrive);
    write_file(m_volume / "qf", qf);
    const auto outsideBefore = snapshot(outside.path());
    const auto volumeBefore = snapshot(m_volume);

    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), kResultInvalidDrive)
        << output;
    EXPECT_NE(output.find("no maps drive found"), std::string::npos) << output;
    EXPECT_EQ(snapshot(outside.path()), outsideBefore);
    EXPECT_EQ(snapshot(m_volume), volumeBefore);
}

}  // namespace
}  // namespace atlasync::testing
