#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "service/devices/connectivity_loader.h"
#include "tests/devlinx/phone_farm.h"

namespace MapsService {
namespace {

using atlasync::testing::PhoneFarm;

constexpr ConnectivityModule kDM = ConnectivityModule::DMAPI;
constexpr ConnectivityModule kDI = ConnectivityModule::DIAPI;

const std::array<std::string, kConnectivityModuleCount> kMissingDefaults = {
    "libatlasync-no-such-library.so", "libatlasync-no-such-library.so",
    "libatlasync-no-such-library.so"};

std::size_t thread_count() {
    std::size_t count = 0;
    DIR* tasks = ::opendir("/proc/self/task");
    while (const dirent* entry = ::readdir(tasks)) {
        count += entry->d_name[0] != '.';
    }
    ::closedir(tasks);
    return count;
}

// Some runtimes (ThreadSanitizer) start a helper thread with the first thread
// of the program; start it before counting.
void settle_thread_count() {
    std::thread([] {}).join();
}

TEST(ConnectivityLoader, MissingLibraryGivesLibraryNotFoundAndCountsNoUse) {
    PhoneFarm farm;
    farm.configure("DMAPI=/nowhere/libDevlinxAPI.so\nOptions=1\n");
    ConnectivityLoader loader(kMissingDefaults);
    EXPECT_EQ(loader.initialize(kDM, DLNK_DMAPI_VERSION), DLNK_E_LIBRARY_NOT_FOUND);
    EXPECT_FALSE(loader.is_loaded(kDM));
    EXPECT_EQ(loader.reference_count(kDM), 0);
    EXPECT_EQ(loader.terminate(kDM), DLNK_E_NOT_INITIALIZED);
}

TEST(ConnectivityLoader, MissingEntryGivesEntryNotFound) {
    PhoneFarm farm;
    // The device-information library has no device-manager entries.
    farm.configure("DMAPI=" DVLX_ABAPI_PATH "\nDIAPI=" DVLX_ABAPI_PATH "\nOptions=1\n");
    ConnectivityLoader loader(kMissingDefaults);
    EXPECT_EQ(loader.initialize(kDM, DLNK_DMAPI_VERSION), DLNK_E_ENTRY_NOT_FOUND);
    EXPECT_FALSE(loader.is_loaded(kDM));

    ASSERT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK);
    DLNKDMHANDLE dm = nullptr;
    EXPECT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDI, "DLNKOpenDM", &dm), DLNK_E_ENTRY_NOT_FOUND);
    EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
}

TEST(ConnectivityLoader, CallsOutsideInitialiseAndTerminateGiveNotInitialised) {
    PhoneFarm farm;
    ConnectivityLoader loader;
    DLNKDMHANDLE dm = nullptr;
    EXPECT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDM, "DLNKOpenDM", &dm), DLNK_E_NOT_INITIALIZED);
    ASSERT_EQ(loader.initialize(kDM, DLNK_DMAPI_VERSION), DLNK_OK);
    ASSERT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDM, "DLNKOpenDM", &dm), DLNK_OK);
    EXPECT_EQ(loader.call<decltype(::DLNKCloseDM)>(kDM, "DLNKCloseDM", dm), DLNK_OK);
    EXPECT_EQ(loader.terminate(kDM), DLNK_OK);
    EXPECT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDM, "DLNKOpenDM", &dm), DLNK_E_NOT_INITIALIZED);
    EXPECT_EQ(loader.terminate(kDM), DLNK_E_NOT_INITIALIZED);
}

TEST(ConnectivityLoader, DefaultFilesAreLoadedWhenTheConfigurationNamesNoneOrAMissingOne) {
    PhoneFarm farm;
    for (const char* settings : {"Options=1\n", "DIAPI=/nowhere/lib.so\nOptions=1\n"}) {
        farm.configure(settings);
        ConnectivityLoader loader;  // the real default names, found by the dynamic loader
        EXPECT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK) << settings;
        EXPECT_TRUE(loader.is_loaded(kDI));
        EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
    }
}

TEST(ConnectivityLoader, ModuleStaysLoadedUntilItsLastUseEnds) {
    PhoneFarm farm;
    ConnectivityLoader loader;
    ASSERT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK);
    ASSERT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK);
    EXPECT_EQ(loader.reference_count(kDI), 2);
    EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
    EXPECT_TRUE(loader.is_loaded(kDI));
    EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
    EXPECT_FALSE(loader.is_loaded(kDI));
    // A version the library refuses leaves nothing loaded.
    EXPECT_EQ(loader.initialize(kDI, 0x7F), DLNK_E_NOT_SUPPORTED);
    EXPECT_FALSE(loader.is_loaded(kDI));
}

TEST(ConnectivityLoader, WatcherThreadRunsUnlessOptionsBitZeroIsSet) {
    PhoneFarm farm;
    const ConnectivityRequestNames names{"/atlasync-test-release-" + std::to_string(::getpid()),
                                         "/atlasync-test-reload-" + std::to_string(::getpid())};
    settle_thread_count();
    for (const auto& [settings, watched] :
         {std::pair{"Options=1\n", false}, std::pair{"Options=3\n", false},
          std::pair{"Options=0\n", true}, std::pair{"Options=2\n", true}, std::pair{"", true}}) {
        farm.configure(settings);
        ConnectivityLoader loader(kDefaultConnectivityFiles, names);
        const std::size_t before = thread_count();
        ASSERT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK);
        EXPECT_EQ(loader.has_watcher(kDI), watched) << settings;
        EXPECT_EQ(thread_count(), before + (watched ? 1 : 0)) << settings;
        EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
        EXPECT_EQ(thread_count(), before);
    }
    ::sem_unlink(names.release.c_str());
    ::sem_unlink(names.reload.c_str());
}

// Waits until the condition holds; false after five seconds.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 500 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

TEST(ConnectivityLoader, ReleaseAndReloadRequestsUnloadAndLoadEveryModuleAgain) {
    PhoneFarm farm;
    farm.configure("Options=0\n");
    const ConnectivityRequestNames names{"/atlasync-test-release-" + std::to_string(::getpid()),
                                         "/atlasync-test-reload-" + std::to_string(::getpid())};
    ConnectivityLoader loader(kDefaultConnectivityFiles, names);
    ASSERT_EQ(loader.initialize(kDM, DLNK_DMAPI_VERSION), DLNK_OK);
    ASSERT_EQ(loader.initialize(kDI, DLNK_DIAPI_VERSION), DLNK_OK);
    sem_t* release = ::sem_open(names.release.c_str(), O_CREAT, 0600, 0);
    sem_t* reload = ::sem_open(names.reload.c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(release, SEM_FAILED);
    ASSERT_NE(reload, SEM_FAILED);

    ::sem_post(release);
    ASSERT_TRUE(eventually([&] { return !loader.is_loaded(kDM) && !loader.is_loaded(kDI); }));
    DLNKDMHANDLE dm = nullptr;
    EXPECT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDM, "DLNKOpenDM", &dm), DLNK_E_NOT_INITIALIZED);
    int value = -1;
    ASSERT_TRUE(eventually([&] { return ::sem_getvalue(release, &value) == 0 && value == 0; }));

    ::sem_post(reload);
    ASSERT_TRUE(eventually([&] { return loader.is_loaded(kDM) && loader.is_loaded(kDI); }));
    // Reloaded with the version of the first start, so the library works again.
    EXPECT_EQ(loader.call<decltype(::DLNKOpenDM)>(kDM, "DLNKOpenDM", &dm), DLNK_OK);
    EXPECT_EQ(loader.call<decltype(::DLNKCloseDM)>(kDM, "DLNKCloseDM", dm), DLNK_OK);
    EXPECT_EQ(loader.reference_count(kDM), 1);

    EXPECT_EQ(loader.terminate(kDI), DLNK_OK);
    EXPECT_EQ(loader.terminate(kDM), DLNK_OK);
    ::sem_close(release);
    ::sem_close(reload);
    ::sem_unlink(names.release.c_str());
    ::sem_unlink(names.reload.c_str());
}

}  // namespace
}  // namespace MapsService
