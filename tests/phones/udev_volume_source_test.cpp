#include "service/phones/udev_volume_source.h"

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;

TEST(MountTable, ListsBlockDeviceMountsWithTheirUnescapedMountPoints) {
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:21 / /proc rw,nosuid - proc proc rw\n"
        "41 22 8:17 / /media/user/MY\\040CARD rw,nosuid shared:7 master:1 - vfat /dev/sdb1 rw\n"
        "42 22 0:45 / /mnt/share rw - nfs server:/export rw\n"
        "43 22 7:0 / /snap/core rw - squashfs /dev/loop0 ro\n"
        "broken line\n"
        "44 22 8:33 / /media/half rw\n";
    const std::vector<MountedVolume> volumes = parse_mount_table(table);
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_EQ(volumes[1].mountPoint, "/media/user/MY CARD");
    EXPECT_EQ(volumes[1].major, 8u);
    EXPECT_EQ(volumes[1].minor, 17u);
    EXPECT_EQ(volumes[2].mountPoint, "/snap/core");
}

TEST(UdevVolumeSource, APlainFolderIsNamedAfterItselfAndIsNoUsbVolume) {
    TempDir dir;
    const std::filesystem::path folder = dir / "SD card";
    std::filesystem::create_directories(folder);
    UdevVolumeSource source;
    EXPECT_EQ(source.volume_label(to_wide(folder.string())), L"SD card");
    EXPECT_EQ(source.volume_label(to_wide(folder.string() + "/")), L"SD card");
    EXPECT_EQ(source.volume_label(to_wide((dir / "missing").string())), std::nullopt);
    EXPECT_FALSE(source.is_usb_volume(to_wide(folder.string())));
    EXPECT_FALSE(source.is_vendor_device(to_wide(folder.string())));
}

TEST(UdevVolumeSource, WaitingEndsWhenStopped) {
    UdevVolumeSource source;
    ASSERT_TRUE(source.open());
    source.stop();
    std::vector<VolumeChange> changes;
    EXPECT_FALSE(source.wait_changes(changes));
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace atlasync::testing
