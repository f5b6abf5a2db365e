#include <gtest/gtest.h>

#include "service/content/map_settings.h"
#include "service/core/message.h"
#include "service/core/sync.h"
#include "tests/content/drive_fixture.h"

namespace {

using namespace MapsService;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::TempDir;

void write_maps_drive(const TempDir& dir, const std::string& quota) {
    put_file(dir / "qf", quota);
    put_file(dir / "cities/diskcache/config.cfg", std::string(32, '\0'));
}

TEST(PhoneDrive, IdsAreTakenFromTwoCountersInOrder) {
    TempDir dir;
    LocalDrive first(dir.path());
    LocalDrive second(dir.path());
    EXPECT_EQ(second.phone.id(), first.phone.id() + 1);
    EXPECT_EQ(second.drive->id(), first.drive->id() + 1);
    EXPECT_EQ(first.drive->message_phone(), &first.phone);
    EXPECT_EQ(first.drive->message_text(), first.drive->name());
}

TEST(PhoneDrive, VettingTurnsCancelIntoTwoAndALostDriveIntoFifteen) {
    TempDir dir;
    write_maps_drive(dir,
                     "format:QF\nclient_id:qtvmaps2.0\nquota:1\ndiskcache:cities\\diskcache\n");
    LocalDrive local(dir.path());
    PhoneDrive& drive = *local.drive;
    EXPECT_EQ(drive.vet(kResultOk), kResultOk);
    EXPECT_EQ(drive.vet(kResultPhoneFileSystem), kResultPhoneFileSystem);
    service_cancel_flag().set();
    EXPECT_EQ(drive.vet(kResultOk), kResultCancelled);
    service_cancel_flag().reset();
    drive.set_connected(false);
    EXPECT_EQ(drive.vet(kResultOk), kResultDriveOffline);
    EXPECT_EQ(local.phone.count_valid_drives(), 0);
    drive.set_connected(true);
    EXPECT_EQ(local.phone.count_valid_drives(), 1);
    local.phone.set_connected(false);
    EXPECT_EQ(local.phone.count_valid_drives(), 0);
}

TEST(PhoneDrive, InstalledMapsappVersionComesFromTheQuotaFileWhenThePhoneCanInstall) {
    TempDir dir;
    write_maps_drive(dir,
                     "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:cities\\diskcache\n"
                     "build:0812 build:x b4\n");
    LocalDrive local(dir.path());
    MapsappVersionInfo version;
    EXPECT_FALSE(local.drive->get_installed_mapsapp_version(version));
    local.phone.set_can_install_sis(true);
    ASSERT_TRUE(local.drive->get_installed_mapsapp_version(version));
    EXPECT_EQ(version.to_text(), L"1.3.15.0 wk 12/8 b4");
    EXPECT_EQ(local.drive->map_package_version_text(), L"0.0.0");

    TempDir empty;
    LocalDrive bare(empty.path());
    EXPECT_FALSE(bare.drive->valid());
    EXPECT_EQ(bare.drive->map_package_version_text(), L"");
    // Without settings the answer is whether the phone could take the application.
    bare.phone.set_can_install_sis(true);
    EXPECT_TRUE(bare.drive->get_installed_mapsapp_version(version));
    EXPECT_FALSE(version.is_valid());
}

}  // namespace
