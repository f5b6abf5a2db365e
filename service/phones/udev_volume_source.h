#pragma once

#include <atomic>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "service/phones/volume_source.h"

struct udev;
struct udev_monitor;

namespace MapsService {

// One mount of a block device, from the kernel's mount table.
struct MountedVolume {
    std::string mountPoint;  // unescaped
    unsigned major = 0;      // device numbers of the mounted block device
    unsigned minor = 0;
};

// The mounts of block devices ("/dev/..." sources) in /proc/self/mountinfo text.
std::vector<MountedVolume> parse_mount_table(std::string_view text);

// Volumes as the system sees them: a udev monitor of block devices and the
// process's mount table. A volume arrives when its device is mounted and goes
// when it is unmounted; its bus and vendor come from the device's udev
// properties (ID_BUS, ID_VENDOR), its name from the file-system label, else
// from the mount folder's name.
class UdevVolumeSource final : public VolumeSource {
public:
    UdevVolumeSource();
    ~UdevVolumeSource() override;
    UdevVolumeSource(const UdevVolumeSource&) = delete;
    UdevVolumeSource& operator=(const UdevVolumeSource&) = delete;

    bool open() override;
    std::vector<std::wstring> present_volumes() override;
    bool wait_changes(std::vector<VolumeChange>& changes) override;
    void stop() override;
    bool is_usb_volume(const std::wstring& root) override;
    bool is_vendor_device(const std::wstring& root) override;
    std::optional<std::wstring> volume_label(const std::wstring& root) override;

private:
    // The udev property of the block device mounted on root; empty when unknown.
    std::string device_property(const std::wstring& root, const char* name);
    void rescan(std::vector<VolumeChange>& changes);

    int m_stopEvent = -1;   // eventfd, written by stop
    int m_mountTable = -1;  // /proc/self/mountinfo, polled for changes
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::map<std::string, MountedVolume> m_mounted;  // watcher thread only
};

}  // namespace MapsService
