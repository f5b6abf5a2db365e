#include "service/core/shared_mem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
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
    ~InstanceNames() { MapsService::CSharedMem::remove_objects(m_base); }
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

namespace {

bool any_object_left(const std::string& base) {
    for (const char* suffix : {"^mx", "^mf"}) {
        if (std::filesystem::exists("/dev/shm" +
                                    MapsService::CSharedMem::object_name(base, suffix))) {
            return true;
        }
    }
    return std::filesystem::exists("/dev/shm/sem." +
                                   MapsService::CSharedMem::object_name(base, "^ev").substr(1));
}

}  // namespace

// The objects were machine-wide and stayed until reboot: one user's kept every
// other user from starting.
TEST(CSharedMem, TheNamesCarryTheUserAndTheLastToLeaveRemovesThem) {
    InstanceNames names;
    EXPECT_EQ(MapsService::CSharedMem::object_name("a\\b/c", "^mx"),
              "/a$b$c." + std::to_string(geteuid()) + "^mx");
    {
        ChildProcess killed(CORE_PROBE_PATH, {"instance", names.base()});
        ASSERT_EQ(killed.read_line(), "1");
        MapsService::CSharedMem holder(names.base());
        killed.kill(SIGKILL);
        EXPECT_EQ(killed.wait(), 128 + SIGKILL);
        EXPECT_TRUE(any_object_left(names.base()));  // still open here
    }
    // The holder left last: nothing of it lasts, even though the killed one never cleaned up.
    EXPECT_FALSE(any_object_left(names.base()));
}

TEST(CSharedMem, ObjectsOfItsNameThatAnotherUserOwnsAreRefusedWithTheReason) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give objects to another user";
    }
    InstanceNames names;
    for (const char* suffix : {"^mx", "^mf"}) {
        const std::string name = MapsService::CSharedMem::object_name(names.base(), suffix);
        const int fd = shm_open(name.c_str(), O_CREAT | O_RDWR, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchown(fd, 65534, 65534), 0);
        close(fd);
    }
    try {
        MapsService::CSharedMem guard(names.base());
        FAIL() << "another user's objects were taken";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(
            std::string(error.what()),
            "Error in MyMutex ctor: " + MapsService::CSharedMem::object_name(names.base(), "^mx") +
                ": owned by another user");
    }
}
