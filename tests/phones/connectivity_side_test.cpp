#include <gtest/gtest.h>

#include "service/core/message_queue.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/dmapi_device_notify.h"
#include "tests/phones/message_wait.h"
#include "tests/phones/simulated_phones.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;

class ConnectivitySide : public SimulatedPhones {};

TEST_F(ConnectivitySide, StartSkipsADeviceRecordWithoutSerialNumber) {
    m_farm.create("nameless", {"--serial", ""});
    m_farm.create("named", {"--serial", "SN-N", "--name", "Named"});
    start(0);
    const std::vector<Phone*> phones = PhoneManager::all_phones();
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_EQ(phones[0]->name(), L"Named");
    const std::vector<Message> messages = take_messages();
    ASSERT_EQ(types_of(messages), std::vector<std::int32_t>{MSG_PHONE_FOUND});
    EXPECT_EQ(messages[0].phone, phones[0]);
}

TEST_F(ConnectivitySide, APhonePluggedInAgainKeepsItsIdAndItsDriveIds) {
    m_farm.create("p", {"--serial", "SN-R", "--name", "Replug"});
    start(1);  // the card is a maps drive, the phone memory is not
    Phone* phone = phone_with_serial(L"SN-R");
    ASSERT_NE(phone, nullptr);
    PhoneDrive* card = drive_of(phone, L"MMC");
    PhoneDrive* memory = drive_of(phone, L"DEV");
    const std::int32_t phoneId = phone->id();
    const std::int32_t cardId = card->id();
    const std::int32_t memoryId = memory->id();
    EXPECT_EQ(types_of(take_messages()),
              (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_DRIVE_FOUND}));

    m_farm.remove("p");
    std::vector<Message> messages = messages_until(MSG_PHONE_LOST);
    ASSERT_EQ(types_of(messages), (std::vector<std::int32_t>{MSG_DRIVE_LOST, MSG_PHONE_LOST}));
    EXPECT_EQ(messages[0].drive, card);
    EXPECT_FALSE(phone->connected());
    EXPECT_EQ(PhoneManager::FindDrive(cardId), nullptr);

    m_farm.create("p", {"--serial", "SN-R", "--name", "Replug"});
    messages = messages_until(MSG_DRIVE_FOUND);
    ASSERT_TRUE(eventually([&] { return PhoneManager::FindDrive(memoryId) != nullptr; }));
    ASSERT_EQ(types_of(messages), (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_DRIVE_FOUND}));
    EXPECT_EQ(messages[0].phone, phone);
    EXPECT_EQ(messages[1].drive, card);
    EXPECT_EQ(phone_with_serial(L"SN-R"), phone);
    EXPECT_EQ(phone->id(), phoneId);
    EXPECT_EQ(PhoneManager::FindDrive(cardId), card);
    EXPECT_EQ(PhoneManager::all_phones().size(), 1u);
    EXPECT_EQ(PhoneManager::all_drives().size(), 2u);
    // The returning drives belong to their phone again.
    EXPECT_EQ(phone->drives().size(), 2u);
    EXPECT_EQ(phone->count_valid_drives(), 1);
}

TEST_F(ConnectivitySide, DeviceUpdatesActOnlyOnConnectAndDisconnectWithTheirMedia) {
    // The device manager alone, without our notifications: the test plays the library.
    ASSERT_EQ(LinkdeckFileSystem::initialize(), kResultOk);
    m_farm.create("bt", {"--serial", "SN-BT", "--media", "bluetooth"});
    DMAPIDeviceNotify& notify = device_notify();

    notify.OnDeviceUpdated(L"SN-BT", DLNK_DEVICE_STATUS(DLNK_CHANGE_UPDATED, DLNK_INFO_PROPERTIES,
                                                        DLNK_MEDIA_BLUETOOTH));
    notify.flush();
    EXPECT_TRUE(PhoneManager::all_phones().empty());
    EXPECT_TRUE(take_messages().empty());

    // Asked over USB, the phone is there but its memories are not reachable.
    notify.OnDeviceUpdated(
        L"SN-BT", DLNK_DEVICE_STATUS(DLNK_CHANGE_UPDATED, DLNK_INFO_CONNECTED, DLNK_MEDIA_USB));
    notify.flush();
    ASSERT_NE(phone_with_serial(L"SN-BT"), nullptr);
    EXPECT_TRUE(PhoneManager::all_drives().empty());

    PhoneManager::SetDriveFlags(2);
    notify.OnDeviceUpdated(L"SN-BT", DLNK_DEVICE_STATUS(DLNK_CHANGE_UPDATED, DLNK_INFO_CONNECTED,
                                                        DLNK_MEDIA_BLUETOOTH));
    notify.flush();
    ASSERT_EQ(PhoneManager::all_drives().size(), 2u);
    EXPECT_EQ(PhoneManager::all_drives()[0]->file_system().connection_kind(),
              LinkdeckFileSystem::connection_kind_of(DLNK_MEDIA_BLUETOOTH));
    EXPECT_EQ(types_of(take_messages()),
              (std::vector<std::int32_t>{MSG_PHONE_FOUND, MSG_PHONE_FOUND, MSG_DRIVE_FOUND,
                                         MSG_DRIVE_FOUND}));

    notify.OnDeviceUpdated(L"SN-BT",
                           DLNK_DEVICE_STATUS(DLNK_CHANGE_UPDATED, DLNK_INFO_DISCONNECTED, 0));
    notify.flush();
    EXPECT_EQ(types_of(take_messages()),
              (std::vector<std::int32_t>{MSG_DRIVE_LOST, MSG_DRIVE_LOST, MSG_PHONE_LOST}));
    EXPECT_FALSE(phone_with_serial(L"SN-BT")->connected());

    // Unknown changes, and notifications without a serial number, change nothing.
    notify.OnDeviceUpdated(L"SN-BT", DLNK_DEVICE_STATUS(0x8, DLNK_INFO_CONNECTED, 0));
    notify.OnDeviceAdded(nullptr, 0);
    notify.OnDeviceRemoved(L"", 0);
    notify.flush();
    EXPECT_EQ(notify.OnDeviceListUpdated(), DLNK_OK);
    EXPECT_TRUE(take_messages().empty());
    EXPECT_FALSE(phone_with_serial(L"SN-BT")->connected());
}

TEST_F(ConnectivitySide, AfterTheStopNoPhoneIsHeardAndTheStopCanRepeat) {
    start(0);
    ASSERT_EQ(finalize_connectivity_side(), kResultOk);
    EXPECT_EQ(LinkdeckFileSystem::device_manager(), nullptr);
    m_farm.create("late", {"--serial", "SN-LATE"});
    EXPECT_TRUE(messages_until(MSG_PHONE_FOUND, std::chrono::milliseconds(500)).empty());
    EXPECT_EQ(finalize_connectivity_side(), kResultOk);
}

TEST_F(ConnectivitySide, APhonePluggedInWhileRunningIsAnnouncedWithItsDrives) {
    start(2);
    m_farm.create("new", {"--serial", "SN-NEW"});
    const std::vector<Message> messages = messages_until(MSG_DRIVE_FOUND);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].type, MSG_PHONE_FOUND);
    EXPECT_TRUE(eventually([] { return PhoneManager::all_drives().size() == 2u; }));
}

}  // namespace
}  // namespace atlasync::testing
