#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/devlinx/simulator_fixture.h"

namespace atlasync::testing {
namespace {

// Follows one installation; optionally cancels it at the first progress report.
class InstallProgress final : public IFSAPINotify {
public:
    explicit InstallProgress(DLNKFSHANDLE fs, bool cancel = false) : m_fs(fs), m_cancel(cancel) {}

    DLNKRESULT OnFSOperationState(uint32_t function, uint32_t state, uint32_t transferred,
                                  uint32_t all) override {
        std::lock_guard lock(m_mutex);
        states.push_back({function, state, transferred, all});
        threads.push_back(std::this_thread::get_id());
        if (m_cancel) {
            DLNKCancel(m_fs);
        }
        return 0;
    }
    DLNKRESULT OnFSConnectionLost(uint32_t) override { return 0; }
    DLNKRESULT OnFSMessage(uint32_t, const wchar_t*) override { return 0; }

    struct State {
        uint32_t function, state, transferred, all;
    };
    std::vector<State> states;
    std::vector<std::thread::id> threads;

private:
    std::mutex m_mutex;
    DLNKFSHANDLE m_fs;
    bool m_cancel;
};

// Bytes of the files on a memory, its settings file aside.
std::uintmax_t bytes_on(const std::filesystem::path& memory) {
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(memory)) {
        if (entry.is_regular_file() && entry.path().filename() != "memory.ini") {
            total += entry.file_size();
        }
    }
    return total;
}

class Installation : public SimulatorTest {
protected:
    DLNKRESULT install(IFSAPINotify* notify, DLNKFSHANDLE fs) {
        write_file(m_farm.outside() / "MapsApp.sis", std::string(100 * 1024, 's'));
        DLNK_INSTALLER_DESC installer{};
        const std::wstring path = (m_farm.outside() / "MapsApp.sis").wstring();
        std::copy(path.begin(), path.end(), installer.path);
        EXPECT_EQ(DLNKRegisterFSNotifyIF(fs, DLNK_FS_REGISTER, notify), DLNK_OK);
        const DLNKRESULT status = DLNKInstallApplication(fs, DLNK_INSTALL_FROM_PC, &installer,
                                                         DLNK_INSTALL_DEFAULT_FLAGS, 0, 0);
        EXPECT_EQ(DLNKRegisterFSNotifyIF(fs, DLNK_FS_UNREGISTER, nullptr), DLNK_OK);
        return status;
    }

    std::vector<std::wstring> applications(DLNKFSHANDLE fs) {
        uint32_t count = 0;
        DLNK_APPLICATION_INFO* list = nullptr;
        EXPECT_EQ(DLNKListApplications(fs, DLNK_LIST_INSTALLED, &count, &list), DLNK_OK);
        std::vector<std::wstring> names;
        for (uint32_t i = 0; i < count; ++i) {
            names.emplace_back(list[i].name);
        }
        DLNKFreeApplicationInfoStructures(count, list);
        return names;
    }
};

TEST_F(Installation, TransferIsReportedOnTheLibrarysThreadAndTheMarkerIsLeft) {
    m_farm.create("alpha", {"--applications", "Clock,Notes"});
    DLNKFSHANDLE fs = open(L"alpha");
    InstallProgress progress(fs);
    EXPECT_EQ(install(&progress, fs), DLNK_OK);

    ASSERT_FALSE(progress.states.empty());
    const auto& last = progress.states.back();
    EXPECT_EQ(last.function, DLNK_FUNCTION_INSTALL);
    EXPECT_EQ(last.state, 100u);
    EXPECT_EQ(last.transferred, 100u * 1024);
    EXPECT_EQ(last.all, 100u * 1024);
    EXPECT_TRUE(
        std::is_sorted(progress.states.begin(), progress.states.end(),
                       [](const auto& a, const auto& b) { return a.transferred < b.transferred; }));
    for (const auto& thread : progress.threads) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }
    EXPECT_TRUE(std::filesystem::exists(m_farm.memory("alpha", 'C') / "data" / "mapsinstalled"));
    EXPECT_EQ(applications(fs), (std::vector<std::wstring>{L"Clock", L"Notes", L"MapsApp"}));
}

TEST_F(Installation, PhoneConfiguredToFailOrToAskTheUserBehavesSo) {
    m_farm.create("failing", {"--install-status", "0x80600003", "--user-action"});
    m_farm.create("old", {"--no-marker"});
    DLNKFSHANDLE failing = open(L"failing");
    InstallProgress progress(failing);
    EXPECT_EQ(install(&progress, failing), DLNK_E_INSTALL_DEPENDENCY);
    ASSERT_FALSE(progress.states.empty());
    EXPECT_EQ(progress.states.back().state, DLNK_STATE_USER_ACTION);
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("failing", 'C') / "data"));
    EXPECT_TRUE(applications(failing).empty());

    DLNKFSHANDLE old = open(L"old");
    InstallProgress quiet(old);
    EXPECT_EQ(install(&quiet, old), DLNK_OK);
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("old", 'C') / "data" / "mapsinstalled"));
}

TEST_F(Installation, CancelStopsTheTransferAndLeavesNothingBehind) {
    m_farm.create("alpha");
    DLNKFSHANDLE fs = open(L"alpha");
    InstallProgress cancelling(fs, true);
    EXPECT_EQ(install(&cancelling, fs), DLNK_E_CANCELLED);
    EXPECT_EQ(cancelling.states.size(), 1u);
    EXPECT_EQ(bytes_on(m_farm.memory("alpha", 'C')), 0u);
    // The next installation on the same handle starts afresh.
    InstallProgress progress(fs);
    EXPECT_EQ(install(&progress, fs), DLNK_OK);
}

}  // namespace
}  // namespace atlasync::testing
