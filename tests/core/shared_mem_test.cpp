#include "service/core/shared_mem.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "tests/support/child_process.h"

using atlasync::testing::ChildProcess;

namespace {

// A base name of its own per test, so that tests and a running wizard never meet.
class InstanceNames {
public:
    InstanceNames()
        : m_base("atlasync-test-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
    ~InstanceNames() {
        for (const char* suffix : {"^ev", "^mx", "^mf"}) {
            shm_unlink(("/" + m_base + suffix).c_str());
        }
        sem_unlink(("/" + m_base + "^ev").c_str());
    }
    const std::string& base() const { return m_base; }

private:
    std::string m_base;
};

}  // namespace

TEST(CSharedMem, TwoProcessesCountInstancesAndTheCountDropsWhenOneEnds) {
    InstanceNames names;
    ChildProcess first(CORE_PROBE_PATH, {"instance", names.base()});
    ASSERT_EQ(first.read_line(), "1");
    ChildProcess second(CORE_PROBE_PATH, {"instance", names.base()});
    ASSERT_EQ(second.read_line(), "2");
    first.close_input();
    EXPECT_EQ(first.wait(), 0);
    // The first ended properly: one instance is left.
    MapsService::CSharedMem probe(names.base());
    EXPECT_EQ(probe.count(), 1);
    second.close_input();
    EXPECT_EQ(second.wait(), 0);
    EXPECT_EQ(probe.count(), 0);
}

TEST(CSharedMem, AnInstanceKilledWithoutCleanupNoLongerCounts) {
    InstanceNames names;
    {
        ChildProcess crashed(CORE_PROBE_PATH, {"instance", names.base()});
        ASSERT_EQ(crashed.read_line(), "1");
        crashed.kill(SIGKILL);
        EXPECT_EQ(crashed.wait(), 128 + SIGKILL);
    }
    ChildProcess next(CORE_PROBE_PATH, {"instance", names.base()});
    EXPECT_EQ(next.read_line(), "1");
}

TEST(CSharedMem, WithinOneProcessEachIncrementCounts) {
    InstanceNames names;
    MapsService::CSharedMem first(names.base());
    EXPECT_EQ(first.increment(), 1);
    {
        MapsService::CSharedMem second(names.base());
        EXPECT_EQ(second.increment(), 2);
        EXPECT_EQ(second.instance_number(), 2);
    }
    EXPECT_EQ(first.count(), 1);
}
