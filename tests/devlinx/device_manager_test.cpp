#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/devlinx/c_listener.h"
#include "tests/devlinx/simulator_fixture.h"

namespace atlasync::testing {
namespace {

// Records device notifications and the threads they arrive on.
class RecordingListener final : public IDMAPIDeviceNotify {
public:
    struct Event {
        std::string kind;
        std::wstring serial;
        uint32_t status;
        std::thread::id thread;
    };

    DLNKRESULT OnDeviceListUpdated() override { return record("list", L"", 0); }
    DLNKRESULT OnDeviceAdded(const wchar_t* serial, uint32_t status) override {
        return record("added", serial, status);
    }
    DLNKRESULT OnDeviceRemoved(const wchar_t* serial, uint32_t status) override {
        return record("removed", serial, status);
    }
    DLNKRESULT OnDeviceUpdated(const wchar_t* serial, uint32_t status) override {
        return record("updated", serial, status);
    }

    // Waits until `count` events have arrived; false after five seconds.
    bool wait_for(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return m_events.size() >= count; });
    }
    std::vector<Event> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    DLNKRESULT record(const char* kind, const wchar_t* serial, uint32_t status) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back({kind, serial, status, std::this_thread::get_id()});
        }
        m_arrived.notify_all();
        return 0;
    }

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Event> m_events;
};

using DeviceManager = SimulatorTest;

TEST_F(DeviceManager, PhonesArePluggedAndUnpluggedByTheirFoldersOnTheLibrarysThread) {
    RecordingListener listener;
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &listener), DLNK_OK);

    m_farm.create("alpha", {"--serial", "SN-1", "--media", "bluetooth"});
    ASSERT_TRUE(listener.wait_for(2));
    m_farm.remove("alpha");
    ASSERT_TRUE(listener.wait_for(4));
    // Unregistering waits for a notification in progress, so the events are final.
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, &listener), DLNK_OK);

    const auto events = listener.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, "added");
    EXPECT_EQ(events[0].serial, L"SN-1");
    EXPECT_EQ(events[0].status,
              DLNK_DEVICE_STATUS(DLNK_CHANGE_ADDED, DLNK_INFO_CONNECTED, DLNK_MEDIA_BLUETOOTH));
    EXPECT_EQ(events[1].kind, "list");
    EXPECT_EQ(events[2].kind, "removed");
    EXPECT_EQ(events[2].serial, L"SN-1");
    EXPECT_EQ(events[2].status & 0xFFFFu, DLNK_CHANGE_REMOVED);
    EXPECT_EQ(events[3].kind, "list");
    for (const auto& event : events) {
        EXPECT_NE(event.thread, std::this_thread::get_id());
    }
}

TEST_F(DeviceManager, UnregisteredListenerHearsNothingMore) {
    RecordingListener first;
    RecordingListener second;
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &first), DLNK_OK);
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, &first), DLNK_OK);
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &second), DLNK_OK);

    m_farm.create("late");
    ASSERT_TRUE(second.wait_for(2));
    // Unregistering waits for a notification in progress, so the events are final.
    EXPECT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, &second), DLNK_OK);
    EXPECT_TRUE(first.events().empty());
    EXPECT_EQ(second.events()[0].serial, L"late");
}

TEST_F(DeviceManager, RegistrationsEndWhenTheModuleStopsAndPresentPhonesAreNotAnnounced) {
    // A listener left registered at stop was called after the next start, long
    // after its owner had gone.
    RecordingListener forgotten;
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &forgotten), DLNK_OK);
    ASSERT_EQ(DLNKCloseDM(m_dm), DLNK_OK);
    ASSERT_EQ(DMAPI_Terminate(nullptr), DLNK_OK);
    m_farm.create("present");
    ASSERT_EQ(DMAPI_Initialize(DLNK_DMAPI_VERSION, nullptr), DLNK_OK);
    ASSERT_EQ(DLNKOpenDM(&m_dm), DLNK_OK);
    RecordingListener current;
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &current), DLNK_OK);
    m_farm.create("late");
    ASSERT_TRUE(current.wait_for(2));
    EXPECT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, &current), DLNK_OK);
    EXPECT_TRUE(forgotten.events().empty());
    const auto events = current.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].serial, L"late");
}

TEST_F(DeviceManager, ListenerWrittenInCHearsThroughItsTableOfSlots) {
    IDMAPIDeviceNotify* listener = c_listener_create();
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, listener), DLNK_OK);
    RecordingListener witness;  // registered after it, so told after it
    ASSERT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_REGISTER, &witness), DLNK_OK);
    m_farm.create("alpha");
    ASSERT_TRUE(witness.wait_for(2));
    m_farm.remove("alpha");
    ASSERT_TRUE(witness.wait_for(4));
    EXPECT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, &witness), DLNK_OK);
    EXPECT_EQ(DLNKRegisterDMNotifyIF(m_dm, DLNK_DM_UNREGISTER, listener), DLNK_OK);
    EXPECT_EQ(c_listener_count(listener, 0), 1);
    EXPECT_EQ(c_listener_count(listener, 1), 1);
    EXPECT_EQ(c_listener_count(listener, 2), 2);
    c_listener_destroy(listener);
}

TEST_F(DeviceManager, DeviceRecordsAndTheThreeKindsOfInformationComeFromPhoneIni) {
    m_farm.create("alpha", {"--serial", "SN-1", "--name", "Alpha", "--model", "X100", "--extra",
                            "note", "--imsi", "2440512345", "--type", "0x2000100", "--features",
                            "0x20", "--generation", "315"});
    m_farm.create("beta", {"--serial", "SN-2"});

    uint32_t count = 0;
    ASSERT_EQ(DLNKGetDeviceCount(m_dm, &count), DLNK_OK);
    ASSERT_EQ(count, 2u);
    DLNK_DEVICE devices[2];
    ASSERT_EQ(DLNKGetDevices(m_dm, devices, &count), DLNK_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(devices[0].serial_number, L"SN-1");
    EXPECT_STREQ(devices[0].name, L"Alpha");
    EXPECT_STREQ(devices[0].model, L"X100");
    EXPECT_STREQ(devices[0].extra, L"note");
    EXPECT_STREQ(devices[1].serial_number, L"SN-2");
    EXPECT_EQ(devices[1].extra, nullptr);
    EXPECT_EQ(DLNKFreeDeviceStructure(count, devices), DLNK_OK);

    DLNK_DEVICE one{};
    ASSERT_EQ(DLNKGetDevice(m_dm, L"SN-2", &one), DLNK_OK);
    EXPECT_STREQ(one.name, L"beta");
    DLNKFreeDeviceStructure(1, &one);
    EXPECT_EQ(DLNKGetDevice(m_dm, L"SN-9", &one), DLNK_E_DEVICE_NOT_CONNECTED);

    DLNK_DEVICE_INFO* info = nullptr;
    ASSERT_EQ(DLNKGetDeviceInfo(m_dm, L"SN-1", DLNK_INFO_KIND_IMSI, &info), DLNK_OK);
    EXPECT_STREQ(info->imsi, L"2440512345");
    DLNKFreeDeviceInfoStructure(info);
    ASSERT_EQ(DLNKGetDeviceInfo(m_dm, L"SN-1", DLNK_INFO_KIND_GENERAL, &info), DLNK_OK);
    EXPECT_EQ(info->type_code, 0x2000100u);
    EXPECT_EQ(info->features, DLNK_FEATURE_SIS_INSTALL);
    EXPECT_STREQ(info->model, L"X100");
    DLNKFreeDeviceInfoStructure(info);
    ASSERT_EQ(DLNKGetDeviceInfo(m_dm, L"SN-1", DLNK_INFO_KIND_GENERATION, &info), DLNK_OK);
    EXPECT_EQ(info->generation, 315);
    DLNKFreeDeviceInfoStructure(info);

    // A phone that reports neither IMSI nor generation.
    EXPECT_EQ(DLNKGetDeviceInfo(m_dm, L"SN-2", DLNK_INFO_KIND_IMSI, &info), DLNK_E_NOT_SUPPORTED);
    EXPECT_EQ(DLNKGetDeviceInfo(m_dm, L"SN-2", DLNK_INFO_KIND_GENERATION, &info),
              DLNK_E_NOT_SUPPORTED);
}

TEST_F(DeviceManager, UnpluggedPhoneLosesItsOpenHandleAndCannotBeOpenedAgain) {
    m_farm.create("alpha");
    DLNKFSHANDLE fs = open(L"alpha");
    ASSERT_NE(fs, nullptr);
    m_farm.remove("alpha");
    DLNKFINDHANDLE find = nullptr;
    EXPECT_EQ(DLNKFindBegin(fs, DLNK_FIND_FOLDERS, L"\\", &find), DLNK_E_CONNECTION_LOST);
    uint32_t media = DLNK_MEDIA_ANY;
    uint32_t deviceId = 0;
    DLNKFSHANDLE again = nullptr;
    EXPECT_EQ(DLNKOpenFS(L"alpha", &media, &deviceId, &again), DLNK_E_DEVICE_NOT_CONNECTED);
}

TEST(DeviceManagerModule, CallsBeforeInitialiseAndStaleHandlesAreRefused) {
    PhoneFarm farm;
    DLNKDMHANDLE dm = nullptr;
    EXPECT_EQ(DLNKOpenDM(&dm), DLNK_E_NOT_INITIALIZED);
    EXPECT_EQ(DMAPI_Terminate(nullptr), DLNK_E_NOT_INITIALIZED);
    ASSERT_EQ(DMAPI_Initialize(DLNK_DMAPI_VERSION, nullptr), DLNK_OK);
    ASSERT_EQ(DLNKOpenDM(&dm), DLNK_OK);
    ASSERT_EQ(DLNKCloseDM(dm), DLNK_OK);
    uint32_t count = 0;
    EXPECT_EQ(DLNKGetDeviceCount(dm, &count), DLNK_E_INVALID_HANDLE);
    EXPECT_EQ(DLNKCloseDM(dm), DLNK_E_INVALID_HANDLE);
    EXPECT_EQ(DMAPI_Terminate(nullptr), DLNK_OK);
}

}  // namespace
}  // namespace atlasync::testing
