#include "service/core/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace MapsService;
using namespace std::chrono;

TEST(Mutex, IsReentrantAndExcludesOtherThreads) {
    Mutex mutex;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                ScopedLock outer(mutex);
                ScopedLock inner(&mutex);  // same thread again: must not deadlock
                ++counter;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 8000);
    ScopedLock nothing(nullptr);  // a null mutex is allowed
}

TEST(Semaphore, WaitTakesUnitsTimesOutAndRespectsTheMaximum) {
    Semaphore semaphore(1, 2, nullptr);
    ASSERT_FALSE(semaphore.is_null());
    EXPECT_EQ(semaphore.wait(0), kWaitAcquired);
    const auto start = steady_clock::now();
    EXPECT_EQ(semaphore.wait(50), kWaitTimedOut);
    EXPECT_GE(steady_clock::now() - start, milliseconds(45));
    semaphore.post();
    semaphore.post();
    semaphore.post();  // beyond the maximum of 2: dropped
    EXPECT_EQ(semaphore.wait(0), kWaitAcquired);
    EXPECT_EQ(semaphore.wait(0), kWaitAcquired);
    EXPECT_EQ(semaphore.wait(0), kWaitTimedOut);
}

TEST(Semaphore, ForeverWaitsUntilAnotherThreadPosts) {
    Semaphore semaphore(0, 10, nullptr);
    std::atomic<bool> posted{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(milliseconds(30));
        posted = true;
        semaphore.post();
    });
    EXPECT_EQ(semaphore.wait(kWaitForever), kWaitAcquired);
    EXPECT_TRUE(posted);
    poster.join();
}

TEST(CancelFlag, SetOnOneThreadIsSeenOnAnother) {
    CancelFlag flag;
    EXPECT_FALSE(flag.is_set());
    std::thread setter([&] { flag.set(); });
    setter.join();
    EXPECT_TRUE(flag.is_set());
    flag.reset();
    EXPECT_FALSE(flag.is_set());
    EXPECT_FALSE(service_cancel_flag().is_set());
}

namespace {
struct Counter : ObjectLevelLockable {
    int value = 0;
    void add() {
        Lock lock(*this);
        ++value;
    }
};
}  // namespace

TEST(ObjectLevelLockable, GuardsEachObjectOnItsOwn) {
    Counter counter;
    std::thread a([&] {
        for (int i = 0; i < 5000; ++i)
            counter.add();
    });
    std::thread b([&] {
        for (int i = 0; i < 5000; ++i)
            counter.add();
    });
    a.join();
    b.join();
    EXPECT_EQ(counter.value, 10000);
}
