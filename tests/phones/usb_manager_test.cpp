#include "service/phones/usb_manager.h"

#include <gtest/gtest.h>

#include <future>

#include "service/content/map_settings.h"
#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/devices/file_system.h"
#include "service/phones/phone_manager.h"
#include "tests/content/drive_fixture.h"
#include "tests/phones/fake_volume_source.h"
#include "tests/phones/message_wait.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
using namespace std::chrono_literals;
using Volume = FakeVolumeSource::Volume;

class UsbWatcher : public ::testing::Test {
protected:
    void SetUp() override {
        drain_messages();
        auto source = std::make_unique<FakeVolumeSource>();
        m_source = source.get();
        m_manager = std::make_unique<UsbManager>(std::move(source), 0ms);
    }
    void TearDown() override {
        m_manager.reset();
        drain_messages();
        PhoneManager::FreeDeviceMap();
        PhoneManager::SetDriveFlags(0);
    }

    // A folder standing for a mounted volume; with maps it holds maps settings.
    std::wstring volume(const std::string& name, bool maps = false) {
        const std::filesystem::path folder = m_dir / name;
        std::filesystem::create_directories(folder);
        if (maps) {
            put_file(folder / "qf",
                     "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:cities\\diskcache\n");
            put_file(folder / "cities/diskcache/config.cfg", std::string(32, '\0'));
        }
        return to_wide(folder.string());
    }

    static PhoneDrive* drive_at(const std::wstring& root) {
        for (PhoneDrive* drive : PhoneManager::all_drives()) {
            if (drive->name() == root) {
                return drive;
            }
        }
        return nullptr;
    }

    static bool connected_at(const std::wstring& root) {
        const PhoneDrive* drive = drive_at(root);
        return drive != nullptr && drive->connected();
    }

    TempDir m_dir;
    FakeVolumeSource* m_source = nullptr;
    std::unique_ptr<UsbManager> m_manager;
};

TEST_F(UsbWatcher, StartWithoutVolumesReturnsWithNothingAdded) {
    ASSERT_TRUE(m_manager->start_());
    EXPECT_TRUE(eventually([this] { return m_source->opened(); }));
    EXPECT_TRUE(PhoneManager::all_phones().empty());
    EXPECT_TRUE(take_messages().empty());
    EXPECT_TRUE(m_manager->stop_());
}

TEST_F(UsbWatcher, StartReturnsOnlyAfterTheUsbVolumesPresentWereHandled) {
    const std::wstring maps = volume("maps", true);
    const std::wstring stick = volume("stick");
    const std::wstring disk = volume("disk");
    const std::wstring broken = volume("broken");
    m_source->present(maps, {L"MAPS"});
    m_source->present(stick, {L"STICK", true, "Generic"});
    m_source->present(disk, {L"DISK", false});
    m_source->present(broken, {L"BROKEN", true, "Velka", false});
    // Slow label reads: a start that did not wait would return before any drive exists.
    m_source->set_label_delay(50ms);
    ASSERT_TRUE(m_manager->start_());

    ASSERT_NE(drive_at(maps), nullptr);
    ASSERT_NE(drive_at(stick), nullptr);
    EXPECT_EQ(drive_at(disk), nullptr);    // not on USB
    EXPECT_EQ(drive_at(broken), nullptr);  // cannot be read
    EXPECT_TRUE(drive_at(maps)->valid());
    EXPECT_FALSE(drive_at(stick)->valid());
    EXPECT_EQ(types_of(take_messages()),
              (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_DRIVE_FOUND, MSG_PHONE_FOUND}));
}

TEST_F(UsbWatcher, AVolumeOfAnotherVendorIsStillADriveWithoutTheVendorFlag) {
    ASSERT_TRUE(m_manager->start_());
    const std::wstring other = volume("other");
    const std::wstring ours = volume("ours");
    const std::wstring internal = volume("internal");
    m_source->arrive(other, {L"OTHER", true, "SanDisk"});
    m_source->arrive(ours, {L"OURS", true, "VELKA Mobile"});
    // Arriving volumes are taken whatever their bus.
    m_source->arrive(internal, {L"INTERNAL", false, ""});
    ASSERT_TRUE(eventually([&] { return connected_at(internal); }));
    ASSERT_TRUE(connected_at(other) && connected_at(ours));
    EXPECT_FALSE(drive_at(other)->vendor_device());
    EXPECT_TRUE(drive_at(ours)->vendor_device());
    EXPECT_FALSE(drive_at(internal)->vendor_device());
    EXPECT_EQ(drive_at(other)->file_system().connection_kind(), 4);
    EXPECT_EQ(drive_at(other)->phone()->name(), L"OTHER");
    EXPECT_EQ(drive_at(other)->phone()->serial_number(), L"");
    // Named by the user only once handed in by name; the same drive then.
    PhoneDrive* arrived = drive_at(other);
    EXPECT_FALSE(arrived->named_by_user());
    ASSERT_TRUE(m_manager->add_volume(other));
    EXPECT_EQ(drive_at(other), arrived);
    EXPECT_TRUE(arrived->named_by_user());
    EXPECT_FALSE(drive_at(ours)->named_by_user());
}

TEST_F(UsbWatcher, TwoVolumesWithOneLabelAreOnePhoneWithTwoDrives) {
    ASSERT_TRUE(m_manager->start_());
    const std::wstring first = volume("a");
    const std::wstring second = volume("b");
    m_source->arrive_together({{first, {L"PHONE"}}, {second, {L"PHONE"}}});
    ASSERT_TRUE(eventually([&] { return connected_at(first) && connected_at(second); }));
    ASSERT_EQ(PhoneManager::all_phones().size(), 1u);
    Phone* phone = PhoneManager::all_phones()[0];
    EXPECT_EQ(phone->drives(), (std::vector<PhoneDrive*>{drive_at(first), drive_at(second)}));
    EXPECT_LT(drive_at(first)->id(), drive_at(second)->id());  // handled in the order queued
}

TEST_F(UsbWatcher, RemovalReportsOnlyValidDrivesAndThePhoneWhenNoValidDriveIsLeft) {
    ASSERT_TRUE(m_manager->start_());
    const std::wstring maps = volume("maps", true);
    const std::wstring plain = volume("plain");
    m_source->arrive_together({{maps, {L"PHONE"}}, {plain, {L"PHONE"}}});
    ASSERT_TRUE(eventually([&] { return connected_at(maps) && connected_at(plain); }));
    PhoneDrive* mapsDrive = drive_at(maps);
    Phone* phone = mapsDrive->phone();
    drain_messages();

    // The invalid drive goes quietly; a valid one is left, so the phone stays.
    m_source->leave(plain);
    ASSERT_TRUE(eventually([&] { return !connected_at(plain); }));
    m_source->leave(volume("never-seen"));
    EXPECT_TRUE(messages_until(MSG_NOTHING, 200ms).empty());
    EXPECT_TRUE(phone->connected());

    m_source->leave(maps);
    std::vector<Message> messages = messages_until(MSG_PHONE_LOST);
    ASSERT_EQ(types_of(messages), (std::vector<std::int32_t>{MSG_DRIVE_LOST, MSG_PHONE_LOST}));
    EXPECT_EQ(messages[0].drive, mapsDrive);
    EXPECT_EQ(messages[1].phone, phone);
    EXPECT_FALSE(phone->connected());
    // The lost drive's message stays readable: the manager keeps the drive.
    EXPECT_NE(describe_message(messages[0]).find(maps), std::wstring::npos);

    // A phone whose only drive was invalid is reported lost too.
    const std::wstring stick = volume("stick");
    m_source->arrive(stick, {L"STICK"});
    ASSERT_TRUE(eventually([&] { return connected_at(stick); }));
    drain_messages();
    m_source->leave(stick);
    messages = messages_until(MSG_PHONE_LOST);
    ASSERT_EQ(types_of(messages), std::vector<std::int32_t>{MSG_PHONE_LOST});
}

TEST_F(UsbWatcher, AVolumeBackAgainKeepsItsPhoneAndDriveIds) {
    ASSERT_TRUE(m_manager->start_());
    const std::wstring maps = volume("maps", true);
    m_source->arrive(maps, {L"PHONE"});
    ASSERT_TRUE(eventually([&] { return connected_at(maps); }));
    PhoneDrive* drive = drive_at(maps);
    const std::int32_t driveId = drive->id();
    const std::int32_t phoneId = drive->phone()->id();
    m_source->leave(maps);
    ASSERT_TRUE(eventually([&] { return !connected_at(maps); }));
    drain_messages();

    m_source->arrive(maps, {L"PHONE"});
    const std::vector<Message> messages = messages_until(MSG_DRIVE_FOUND);
    ASSERT_EQ(types_of(messages), (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_DRIVE_FOUND}));
    EXPECT_EQ(PhoneManager::FindDrive(driveId), drive);
    EXPECT_EQ(drive->phone()->id(), phoneId);
    EXPECT_EQ(PhoneManager::all_drives().size(), 1u);
}

TEST_F(UsbWatcher, AHandedInFolderTakesTheArrivalPathWhateverItsBus) {
    const std::wstring card = volume("card", true);
    m_source->present(card, {L"CARD", false});
    EXPECT_FALSE(m_manager->add_volume(card));  // no watcher yet
    ASSERT_TRUE(m_manager->start_());
    EXPECT_EQ(drive_at(card), nullptr);  // not on USB: not taken at start

    ASSERT_TRUE(m_manager->add_volume(card));
    ASSERT_TRUE(connected_at(card));  // handled before add_volume returned
    EXPECT_TRUE(drive_at(card)->valid());
    EXPECT_TRUE(drive_at(card)->named_by_user());
    EXPECT_EQ(types_of(take_messages()),
              (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_DRIVE_FOUND}));
}

// A folder handed in by name waited the second a just-mounted volume gets to settle.
TEST_F(UsbWatcher, AHandedInFolderIsTakenWithoutTheTimeAMountedVolumeGetsToSettle) {
    m_manager.reset();
    auto source = std::make_unique<FakeVolumeSource>();
    m_source = source.get();
    m_manager = std::make_unique<UsbManager>(std::move(source), 20s);
    ASSERT_TRUE(m_manager->start_());
    const std::wstring card = volume("card", true);
    m_source->present(card, {L"CARD", false});
    auto added = std::async(std::launch::async, [&] { return m_manager->add_volume(card); });
    ASSERT_EQ(added.wait_for(10s), std::future_status::ready) << "add_volume waits";
    EXPECT_TRUE(added.get());
    EXPECT_TRUE(connected_at(card));
}

TEST_F(UsbWatcher, AfterTheStopVolumesAreNoLongerHandled) {
    ASSERT_TRUE(m_manager->start_());
    EXPECT_TRUE(m_manager->stop_());
    EXPECT_TRUE(m_manager->stop_());
    const std::wstring late = volume("late");
    m_source->arrive(late, {L"LATE"});
    EXPECT_FALSE(m_manager->add_volume(late));
    EXPECT_TRUE(PhoneManager::all_phones().empty());
}

// A failed watch ended the watcher, yet a volume handed in afterwards was
// queued for the handler that had gone with it and waited for ever.
TEST_F(UsbWatcher, AVolumeHandedInAfterTheWatchFailedIsRefusedAtOnce) {
    ASSERT_TRUE(m_manager->start_());
    m_source->fail_watching();
    const std::wstring late = volume("late", true);
    auto refused = std::async(std::launch::async, [&] {
        return eventually([&] { return !m_manager->add_volume(late); });
    });
    ASSERT_EQ(refused.wait_for(10s), std::future_status::ready) << "add_volume hangs";
    EXPECT_TRUE(refused.get());
    EXPECT_TRUE(m_manager->stop_());
}

// A volume unmounted and mounted again while the handler waited out its
// label delay was handled arrival, arrival, removal: lost while mounted.
TEST_F(UsbWatcher, EachVolumesEventsAreHandledInTheOrderTheyHappened) {
    auto source = std::make_unique<FakeVolumeSource>();
    m_source = source.get();
    m_manager = std::make_unique<UsbManager>(std::move(source), 300ms);
    ASSERT_TRUE(m_manager->start_());
    const std::wstring maps = volume("maps", true);
    const std::wstring other = volume("other");
    m_source->arrive(maps, {L"PHONE"});
    m_source->leave(maps);
    m_source->arrive(other, {L"OTHER"});
    m_source->arrive(maps, {L"PHONE"});

    std::vector<std::int32_t> types;
    const auto expected = std::vector<std::int32_t>{
        MSG_PHONE_FOUND, MSG_DRIVE_FOUND,
        MSG_PHONE_FOUND,  // other: arrivals still go before another volume's removal
        MSG_DRIVE_LOST,  MSG_PHONE_LOST,  MSG_PHONE_FOUND, MSG_DRIVE_FOUND};
    EXPECT_TRUE(eventually([&] {
        for (std::int32_t type : types_of(take_messages())) {
            types.push_back(type);
        }
        return types.size() >= expected.size();
    }));
    EXPECT_EQ(types, expected);
    EXPECT_TRUE(connected_at(maps));
}

TEST(VendorName, StartsWithVelkaIgnoringCase) {
    EXPECT_TRUE(is_vendor_name("velka"));
    EXPECT_TRUE(is_vendor_name("VELKA Mobile"));
    EXPECT_TRUE(is_vendor_name("Velkaphone"));
    EXPECT_FALSE(is_vendor_name("velk"));
    EXPECT_FALSE(is_vendor_name(" Velka"));
    EXPECT_FALSE(is_vendor_name(""));
}

}  // namespace
}  // namespace atlasync::testing
