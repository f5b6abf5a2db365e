#include <gtest/gtest.h>

#include "service/content/maps_app_package.h"
#include "service/content/maps_update_info.h"
#include "service/content/velka_devices.h"
#include "service/core/message_queue.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/device_side.h"
#include "tests/content/served_world.h"
#include "tests/phones/message_wait.h"
#include "tests/phones/simulated_phones.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;

class PhoneManagerOnSimulator : public SimulatedPhones {};

// Phones started while a map server serves the world's device table.
class PhonesWithDeviceTable : public SimulatedPhones {
protected:
    void start(std::int32_t driveFlags) { SimulatedPhones::start(driveFlags, m_world.url()); }
    void TearDown() override {
        SimulatedPhones::TearDown();
        maps_app_package().clear();
    }

    ServedWorld m_world;
};

struct FlagCase {
    std::int32_t flags;
    bool phoneMemoryValid;
    bool memoryCardValid;
};

class DriveFlags : public SimulatedPhones, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(DriveFlags, DecideWhichEmptyMemoriesAreMapsDrives) {
    m_farm.create("p", {"--serial", "SN-F"});
    start(GetParam().flags);
    Phone* phone = phone_with_serial(L"SN-F");
    ASSERT_NE(phone, nullptr);
    PhoneDrive* dev = drive_of(phone, L"DEV");
    PhoneDrive* mmc = drive_of(phone, L"MMC");
    ASSERT_NE(dev, nullptr);
    ASSERT_NE(mmc, nullptr);
    EXPECT_EQ(dev->valid(), GetParam().phoneMemoryValid);
    EXPECT_EQ(mmc->valid(), GetParam().memoryCardValid);
    EXPECT_TRUE(dev->connected() && mmc->connected());
    EXPECT_TRUE(dev->vendor_device() && mmc->vendor_device());

    // Only valid drives are announced.
    std::vector<MessageDrive*> found;
    for (const Message& message : take_messages()) {
        if (message.type == MSG_DRIVE_FOUND) {
            found.push_back(message.drive);
        }
    }
    std::vector<MessageDrive*> expected;
    for (PhoneDrive* drive : phone->drives()) {
        if (drive->valid()) {
            expected.push_back(drive);
        }
    }
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(PhoneManager, DriveFlags,
                         ::testing::Values(FlagCase{0, false, false}, FlagCase{1, false, true},
                                           FlagCase{2, true, true}, FlagCase{3, false, false}));

TEST_F(PhoneManagerOnSimulator, ADriveWithMapsSettingsIsValidWhateverTheFlags) {
    m_farm.create("p", {"--serial", "SN-M", "--type", "0"});
    put_maps_settings("p", 'C', "qtvmaps2.0");
    start(0);
    Phone* phone = phone_with_serial(L"SN-M");
    ASSERT_NE(phone, nullptr);
    EXPECT_TRUE(drive_of(phone, L"DEV")->valid());
    EXPECT_NE(drive_of(phone, L"DEV")->map_settings(), nullptr);
    EXPECT_FALSE(drive_of(phone, L"MMC")->valid());
    // A phone the library gives no type takes one from the drive's client.
    EXPECT_EQ(phone->device_type(), 3);
}

TEST_F(PhoneManagerOnSimulator, APhoneWithoutTypeAndALegacyClientIsOfTypeOne) {
    m_farm.create("p", {"--serial", "SN-L", "--type", "0"});
    put_maps_settings("p", 'E', "QTLmaps1.0");
    start(0);
    EXPECT_EQ(phone_with_serial(L"SN-L")->device_type(), 1);
}

TEST_F(PhonesWithDeviceTable, PropertiesComeFromTheLibraryAndTheGenerationTableFirst) {
    m_farm.create("a", {"--serial", "SN-A", "--model", "Tour 9", "--type", "0x2000020",
                        "--features", "0x220", "--generation", "335", "--imsi", "26201"});
    m_farm.create("b", {"--serial", "SN-B", "--model", "vx-322", "--type", "0x2001000",
                        "--features", "0", "--generation", "305"});
    m_farm.create("c", {"--serial", "SN-C", "--type", "0x7777"});
    start(0);
    Phone* a = phone_with_serial(L"SN-A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->model_name(), L"Tour 9");
    EXPECT_EQ(a->device_type(), 3);
    EXPECT_TRUE(a->can_install_sis());
    EXPECT_TRUE(a->can_list_applications());
    EXPECT_EQ(a->device_generation(), 335);  // not in the table: the phone's own
    EXPECT_EQ(a->imsi(), L"26201");
    Phone* b = phone_with_serial(L"SN-B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->device_type(), 5);
    EXPECT_FALSE(b->can_install_sis());
    EXPECT_EQ(b->device_generation(), 322);  // the table wins, whatever the letter case
    EXPECT_EQ(b->imsi(), L"");
    EXPECT_EQ(phone_with_serial(L"SN-C")->device_type(), 0);
}

TEST_F(PhoneManagerOnSimulator, ADeviceTableThatCannotBeFetchedKeepsNoPhoneOut) {
    // No map server here: the table stays empty and the phone's own generation counts.
    m_farm.create("b", {"--serial", "SN-B", "--model", "VX-322", "--generation", "305"});
    start(0);
    Phone* b = phone_with_serial(L"SN-B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->device_generation(), 305);
    EXPECT_FALSE(velka_devices().find(L"VX-322").has_value());
}

struct OfferCase {
    const char* model;
    const char* generation;  // what the phone itself reports
    const char* type;
    Result result;
    const wchar_t* platform;  // "mandatory_version" of the installer offered
    const wchar_t* client;    // its "client"
};

void PrintTo(const OfferCase& offer, std::ostream* out) {
    *out << offer.model << " generation " << offer.generation << " type " << offer.type;
}

class InstallerOffer : public PhonesWithDeviceTable,
                       public ::testing::WithParamInterface<OfferCase> {};

TEST_P(InstallerOffer, FollowsTheGenerationAndTheClientKindOfTheDeviceTable) {
    const OfferCase& c = GetParam();
    m_farm.create("p", {"--serial", "SN-O", "--model", c.model, "--generation", c.generation,
                        "--type", c.type});
    start(0);
    PhoneDrive* drive = drive_of(phone_with_serial(L"SN-O"), L"DEV");
    ASSERT_NE(drive, nullptr);
    drive->set_server_url(m_world.url());
    MapsUpdateInfo info;
    ASSERT_EQ(drive->get_mapsapp_update_info(info), c.result);
    if (c.result != kResultOk) {
        return;
    }
    EXPECT_EQ(info.mandatoryVersion.to_text(), c.platform);
    const auto item = maps_app_package().find_item(info.itemId);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item_attribute(*item, L"client"), c.client);
    EXPECT_EQ(info.newVersion, std::wstring(c.client) == L"new" ? VersionInfo(1, 4, 2, 0)
                                                                : VersionInfo(1, 3, 16, 0));
    EXPECT_FALSE(info.title.empty());
    EXPECT_GT(info.contentSize, 48u * 1024);
}

INSTANTIATE_TEST_SUITE_P(
    PhoneManager, InstallerOffer,
    ::testing::Values(OfferCase{"VX-335", "335", "0x2000020", kResultOk, L"3.3", L"old"},
                      // Listed as "cl" with generation 335: the phone's 305 is not asked.
                      OfferCase{"VX-335N", "305", "0x2000020", kResultOk, L"3.3", L"new"},
                      OfferCase{"VX-505N", "0", "0x2000020", kResultOk, L"5.0", L"new"},
                      OfferCase{"unlisted", "505", "0x2000020", kResultOk, L"5.0", L"old"},
                      OfferCase{"VX-322", "0", "0x2000020", kResultOk, L"3.2", L"old"},
                      OfferCase{"unlisted", "305", "0x2000020", kResultNoUpdateInfo, L"", L""},
                      OfferCase{"unlisted", "0", "0x2000020", kResultNoUpdateInfo, L"", L""},
                      OfferCase{"VX-335", "335", "0x1000001", kResultNoUpdateInfo, L"", L""}));

TEST(DeviceTypes, EachLibraryTypeCodeHasItsDeviceTypeAndOthersAreUnknown) {
    EXPECT_EQ(device_type_of(0x1000001), 1);
    EXPECT_EQ(device_type_of(0x2000010), 2);
    EXPECT_EQ(device_type_of(0x2000020), 3);
    EXPECT_EQ(device_type_of(0x2000100), 4);
    EXPECT_EQ(device_type_of(0x2001000), 5);
    EXPECT_EQ(device_type_of(0x2000000), 0);
    EXPECT_EQ(device_type_of(0), 0);
}

TEST_F(PhoneManagerOnSimulator, LosingAnInvalidDrivePostsNothingButClearsItsConnectedFlag) {
    m_farm.create("p", {"--serial", "SN-I"});
    start(1);
    Phone* phone = phone_with_serial(L"SN-I");
    PhoneDrive* dev = drive_of(phone, L"DEV");
    ASSERT_FALSE(dev->valid());
    drain_messages();

    PhoneManager::OnDriveLost(dev);
    PhoneManager::OnDriveLost(nullptr);
    EXPECT_TRUE(take_messages().empty());
    EXPECT_FALSE(dev->connected());
    EXPECT_EQ(PhoneManager::FindDrive(dev->id()), nullptr);
    EXPECT_EQ(phone->drives(), std::vector<PhoneDrive*>{drive_of(phone, L"MMC")});

    // The valid one is announced lost, and the phone then has none left.
    PhoneDrive* mmc = drive_of(phone, L"MMC");
    PhoneManager::OnDriveLost(mmc);
    const std::vector<Message> messages = take_messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, MSG_DRIVE_LOST);
    EXPECT_EQ(messages[0].drive, mmc);
    EXPECT_EQ(phone->count_valid_drives(), 0);
}

TEST_F(PhoneManagerOnSimulator, ConnectedListsHoldOnlyWhatIsConnectedInListOrder) {
    m_farm.create("p", {"--serial", "SN-1"});
    m_farm.create("q", {"--serial", "SN-2"});
    start(2);
    std::vector<Phone*> phones;
    ASSERT_EQ(PhoneManager::GetConnectedPhones(phones), kResultOk);
    ASSERT_EQ(phones.size(), 2u);
    std::vector<PhoneDrive*> drives;
    ASSERT_EQ(PhoneManager::GetConnectedDrives(drives), kResultOk);
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_LT(drives[0]->id(), drives[3]->id());

    Phone* first = phones[0];
    for (PhoneDrive* drive : first->drives()) {
        PhoneManager::OnDriveLost(drive);
    }
    PhoneManager::RemovePhone(first);
    ASSERT_EQ(PhoneManager::GetConnectedPhones(phones), kResultOk);
    EXPECT_EQ(phones, std::vector<Phone*>{phone_with_serial(
                          first->serial_number() == L"SN-1" ? L"SN-2" : L"SN-1")});
    ASSERT_EQ(PhoneManager::GetConnectedDrives(drives), kResultOk);
    EXPECT_EQ(drives.size(), 2u);
    EXPECT_FALSE(first->connected());
    EXPECT_EQ(first->count_valid_drives(), 0);
}

// A phone first seen over USB and back over Bluetooth was reported found and
// valid, but its kept drive went on asking for the USB link: every operation
// on it answered 10.
TEST_F(PhoneManagerOnSimulator, ADriveBackOverAnotherLinkIsReachedOverTheNewOne) {
    m_farm.create("p", {"--serial", "SN-R", "--media", "usb"});
    start(2);
    PhoneDrive* card = drive_of(phone_with_serial(L"SN-R"), L"MMC");
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->file_system().connection_kind(), 0);
    m_farm.remove("p");
    ASSERT_FALSE(messages_until(MSG_PHONE_LOST).empty());

    m_farm.create("p", {"--serial", "SN-R", "--media", "bluetooth"});
    put_file(m_farm.memory("p", 'E') / "note.txt", "back");
    ASSERT_TRUE(eventually([&] { return card->connected(); }));
    EXPECT_EQ(card->file_system().connection_kind(), 1);
    std::vector<std::wstring> files;
    EXPECT_EQ(card->file_system().fetch_filenames(card->name(), files), kResultOk);
    EXPECT_TRUE(card->file_system().file_exists(card->name() + L"note.txt"));
}

// Losing a phone in the middle of work: the messages about it are read after
// the phone went, and the work on its drive fails instead of crashing.
TEST_F(PhoneManagerOnSimulator, ADriveLostWhileInUseStaysSafeToReadAndFailsCleanly) {
    m_farm.create("p", {"--serial", "SN-S"});
    start(2);
    PhoneDrive* card = drive_of(phone_with_serial(L"SN-S"), L"MMC");
    ASSERT_NE(card, nullptr);
    drain_messages();

    m_farm.remove("p");
    const std::vector<Message> messages = messages_until(MSG_PHONE_LOST);
    ASSERT_EQ(types_of(messages),
              (std::vector<std::int32_t>{MSG_DRIVE_LOST, MSG_DRIVE_LOST, MSG_PHONE_LOST}));
    for (const Message& message : messages) {
        EXPECT_FALSE(describe_message(message).empty());
    }
    EXPECT_EQ(card->vet(kResultOk), kResultDriveOffline);
    std::vector<std::wstring> files;
    EXPECT_NE(card->file_system().fetch_filenames(L"\\", files), kResultOk);
    EXPECT_FALSE(card->file_system().file_exists(L"qf"));
    EXPECT_EQ(PhoneManager::FindDrive(card->id()), nullptr);
}

}  // namespace
}  // namespace atlasync::testing
