#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/recording_host.h"
#include "ui/wizard/state_machine.h"

namespace atlasync::testing {

// One file of an update of WizardFlow::create_phone's card, of each kind of
// item the card holds, that the server fails the first time it is asked for.
struct FailsOnce {
    const char* name;
    const char* archive;  // "R" or "C": the region's own or its city index; else a file
    std::size_t region;   // index of the region in the world
};
extern const FailsOnce kFailsOnce[4];
inline void PrintTo(const FailsOnce& row, std::ostream* out) {
    *out << row.name;
}

// The real machine, worker thread and service against a served world and the
// phone simulator's farm, with a recording host. The test's thread is the
// user-interface thread; nothing here sleeps: waits run the event loop until
// what the test expects has been recorded.
class WizardFlow : public FacadeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    ui::WizardSettings settings() const;
    // A phone whose memory card holds maps older than the server's; it is
    // plugged in with its card already written.
    std::filesystem::path create_phone(const std::string& name, const std::string& serial,
                                       const std::vector<std::string>& options = {},
                                       const std::string& mapVersion = "1.1.6.0");
    void write_simulation_profile(const std::string& settings);
    // A drive written fresh at the version with what create_phone puts on a
    // card: what an update of such a card must end equal to.
    std::filesystem::path fresh_drive(const std::string& mapVersion = "1.1.7.0");
    void write_card(const std::filesystem::path& folder, const std::string& mapVersion);
    // The map version the maps drive in the folder says it holds.
    static std::wstring map_version_on(const std::filesystem::path& card);
    // Tiles of the world's region found on the card.
    std::size_t tiles_on(const std::filesystem::path& card, std::size_t region);
    // An update of create_phone's card cut short after it changed the card: the
    // card lacks tiles of its regions and records the update still to finish.
    void expect_incomplete(const std::filesystem::path& card);
    // An error page's description with the note that the maps are incomplete.
    static std::wstring with_incomplete_note(const std::wstring& description);

    // Splash (kept short), main window, then the flow runs.
    void start_machine(const ui::WizardSettings& settings);
    void start_machine() { start_machine(settings()); }
    // Waits until the page is shown after the last page waited for.
    [[nodiscard]] bool wait_for_page(ui::WizardPage page,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(30));
    [[nodiscard]] bool wait_until_stopped(
        std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Presses a button: the signal is dispatched on this thread, as a page would.
    void press(std::uint16_t signal) { m_machine->dispatch_signal(signal); }
    // Lines of the trace that name a state's entry or exit, in order.
    std::vector<std::string> state_trace() const;
    // A region of the world held back (or failed) at the server, by rule.
    void region_fault(std::size_t index, const std::string& action);
    // The fault for the archive of this name (without ".zip").
    void archive_fault(const std::string& name, const std::string& action);
    // The server fails the first fetch of the row's file.
    void fail_once(const FailsOnce& row);
    // Lets the answers held by "hold" faults go on.
    void release_held();
    // Whether the server has begun that many holds and holds an answer now;
    // the waiting one runs the event loop until it is so.
    bool holding(std::size_t begun);
    [[nodiscard]] bool wait_until_held(std::size_t begun);

    TempDir m_tmp;
    // Phones are made here and moved into the served farm complete. Made
    // first: the farm made last is the one the simulator serves.
    PhoneFarm m_staging;
    PhoneFarm m_farm;
    RecordingHost m_host;
    std::unique_ptr<ui::CStateMachine> m_machine;
    std::size_t m_pagesSeen = 0;

private:
    std::unique_ptr<ScopedWorkingDirectory> m_workingDirectory;
    mutable std::vector<std::string> m_guardNames;  // to remove at the end
    std::optional<ScopedVariable> m_configHome;
};

}  // namespace atlasync::testing
