#include "tests/ui/wizard_flow_fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <sstream>

#include "mapserver/drive/drive_writer.h"
#include "mapserver/faults.h"
#include "service/content/map_settings.h"
#include "service/core/shared_mem.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system_win.h"
#include "tests/ui/qt_test_support.h"
#include "ui/wizard/string_table.h"

namespace atlasync::testing {

namespace fs = std::filesystem;

void WizardFlow::SetUp() {
    fs::create_directories(m_tmp.path() / "tmp");
    fs::create_directories(m_tmp.path() / "work");
    use_temp_folder(m_tmp.path() / "tmp");
    // The application profile goes below the test's folder.
    m_configHome.emplace("XDG_CONFIG_HOME", (m_tmp.path() / "config").string());
    // Information level: the states' lines without the queue's debug lines,
    // which would describe the messages finalising leaves about released phones.
    write_file(
        m_tmp.path() / "work" / "msapi.ini",
        "TraceLevel=3\nlogfile=\"" + (m_tmp.path() / "work" / "trace.log").string() + "\"\n");
    m_workingDirectory = std::make_unique<ScopedWorkingDirectory>(m_tmp.path() / "work");
    // The trace follows the msapi.ini of this test's folder.
    MapsService::close_tracer();
    qt_application();
    FacadeTest::SetUp();
    serve();
}

void WizardFlow::TearDown() {
    m_machine.reset();
    // A guard a test holds when it fails stays otherwise.
    for (const std::string& name : m_guardNames) {
        MapsService::CSharedMem::remove_objects(name);
    }
    m_workingDirectory.reset();
    FacadeTest::TearDown();
    m_configHome.reset();
    MapsService::close_tracer();
}

ui::WizardSettings WizardFlow::settings() const {
    static std::atomic<int> instance{0};
    ui::WizardSettings result;
    result.serverRoot = "localhost:" + std::to_string(m_world->served().port());
    result.splashTime = std::chrono::milliseconds(20);
    result.simulationProfile = m_tmp.path() / "AtlasyncSim.ini";
    // Tests run side by side; each holds its own guard.
    result.instanceGuardName =
        "atlasync-flow-" + std::to_string(::getpid()) + "-" + std::to_string(++instance);
    m_guardNames.push_back(result.instanceGuardName);
    return result;
}

namespace {

// What create_phone's card holds: three regions, the last two in a row, and every voice.
constexpr std::size_t kCardRegions[] = {0, 2, 3};

}  // namespace

const FailsOnce kFailsOnce[4] = {
    {"ARegionInTheMiddle", "R", 2},
    {"TheLastRegion", "R", 3},
    {"ACityIndex", "C", 0},
    {"TheLastVoice", "v30_french", 0},
};

fs::path WizardFlow::create_phone(const std::string& name, const std::string& serial,
                                  const std::vector<std::string>& options,
                                  const std::string& mapVersion) {
    std::vector<std::string> all = {"--serial",     serial, "--model", "VX-335N",
                                    "--generation", "335",  "--name",  name};
    all.insert(all.end(), options.begin(), options.end());
    m_staging.create(name, all);
    write_card(m_staging.memory(name, 'E'), mapVersion);
    fs::rename(m_staging.folder() / name, m_farm.folder() / name);
    return m_farm.memory(name, 'E');
}

void WizardFlow::write_card(const fs::path& folder, const std::string& mapVersion) {
    mapserver::DriveOptions drive;
    drive.content = world().content();
    drive.mapVersion = mapVersion;
    for (std::size_t i : kCardRegions) {
        drive.regions.push_back(std::to_string(world().world.regions[i].idid));
    }
    drive.voices = {"all"};
    mapserver::write_drive(drive, folder);
}

fs::path WizardFlow::fresh_drive(const std::string& mapVersion) {
    const fs::path folder = m_tmp.path() / ("fresh-" + mapVersion);
    write_card(folder, mapVersion);
    return folder;
}

void WizardFlow::fail_once(const FailsOnce& row) {
    const std::string file =
        row.archive == std::string("R") || row.archive == std::string("C")
            ? row.archive + std::to_string(world().world.regions[row.region].idid)
            : row.archive;
    archive_fault(file, "content-type:text/html,times:1");
}

void WizardFlow::write_simulation_profile(const std::string& settings) {
    write_file(m_tmp.path() / "AtlasyncSim.ini", "[Settings]\n" + settings);
}

void WizardFlow::start_machine(const ui::WizardSettings& wizardSettings) {
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    m_machine->start();
    ASSERT_TRUE(process_events_until([&] { return m_machine->splash_finished(); }));
    m_host.open_main_window();
    m_machine->main_window_ready();
}

bool WizardFlow::wait_for_page(ui::WizardPage page, std::chrono::milliseconds timeout) {
    const bool shown = process_events_until(
        [&] {
            const auto pages = m_host.pages();
            for (std::size_t i = m_pagesSeen; i < pages.size(); ++i) {
                if (pages[i] == page) {
                    m_pagesSeen = i + 1;
                    return true;
                }
            }
            return false;
        },
        timeout);
    if (!shown) {
        ADD_FAILURE() << "page " << static_cast<int>(page) << " not shown; the host saw:\n"
                      << m_host.describe() << "states:\n"
                      << ::testing::PrintToString(state_trace());
    }
    return shown;
}

bool WizardFlow::wait_until_stopped(std::chrono::milliseconds timeout) {
    const bool stopped = process_events_until([&] { return m_machine->stopped(); }, timeout);
    if (!stopped) {
        ADD_FAILURE() << "the machine did not stop; the host saw:\n"
                      << m_host.describe() << "states:\n"
                      << ::testing::PrintToString(state_trace());
    }
    return stopped;
}

std::wstring WizardFlow::map_version_on(const std::filesystem::path& card) {
    MapsService::FileSystemWin files(MapsService::to_wide(card.string()));
    return MapsService::MapSettings(files).map_version().to_text();
}

std::size_t WizardFlow::tiles_on(const std::filesystem::path& card, std::size_t region) {
    std::size_t found = 0;
    for (const std::string& tile : world().world.regions[region].tiles) {
        found += fs::exists(card / "cities" / "diskcache" / tile.substr(0, 1) / tile.substr(1, 1) /
                            (tile + ".cdt"))
                     ? 1
                     : 0;
    }
    return found;
}

void WizardFlow::expect_incomplete(const std::filesystem::path& card) {
    std::size_t found = 0;
    std::size_t whole = 0;
    for (std::size_t i : kCardRegions) {
        found += tiles_on(card, i);
        whole += world().world.regions[i].tiles.size();
    }
    EXPECT_LT(found, whole);
    EXPECT_TRUE(fs::exists(card / "cities" / "diskcache" / "update.pending"));
    EXPECT_EQ(map_version_on(card), L"1.1.6.0");  // it claims nothing new
}

std::wstring WizardFlow::with_incomplete_note(const std::wstring& description) {
    return description + L"<br><br>" + ui::text(ui::kTextMapsIncomplete);
}

std::vector<std::string> WizardFlow::state_trace() const {
    std::istringstream lines(read_file(m_tmp.path() / "work" / "trace.log"));
    std::vector<std::string> result;
    for (std::string line; std::getline(lines, line);) {
        for (const char* mark : {"Enter CStateMachine::", "Exit CStateMachine::"}) {
            const auto at = line.find(mark);
            if (at != std::string::npos) {
                result.push_back(line.substr(at));
            }
        }
    }
    return result;
}

void WizardFlow::release_held() {
    world().served().server().faults().release_held();
}

bool WizardFlow::holding(std::size_t begun) {
    const auto& faults = world().served().server().faults();
    return faults.holds_begun() == begun && faults.held() == 1;
}

bool WizardFlow::wait_until_held(std::size_t begun) {
    const bool held = process_events_until([&] { return holding(begun); });
    if (!held) {
        ADD_FAILURE() << "the server never began hold " << begun << "; states:\n"
                      << ::testing::PrintToString(state_trace());
    }
    return held;
}

void WizardFlow::region_fault(std::size_t index, const std::string& action) {
    archive_fault("R" + std::to_string(world().world.regions[index].idid), action);
}

void WizardFlow::archive_fault(const std::string& name, const std::string& action) {
    world().served().server().faults().add(mapserver::parse_fault("*/" + name + ".zip=" + action));
}

}  // namespace atlasync::testing
