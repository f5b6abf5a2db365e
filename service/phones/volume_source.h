#pragma once

#include <optional>
#include <string>
#include <vector>

namespace MapsService {

// A volume coming or going, named by the folder it is mounted on.
struct VolumeChange {
    bool arrived;       // false: the volume went
    std::wstring root;  // its mount point, the drive's root path
};

// Where the USB watcher learns of volumes: the system's hot-plug events on a
// real machine, a test's own list in tests. Called from the watcher's two
// threads: open, present_volumes, is_usb_volume and wait_changes from the
// watcher thread, is_vendor_device and volume_label from the handler thread,
// stop from any thread.
class VolumeSource {
public:
    virtual ~VolumeSource() = default;

    // Prepares to watch; false when no change can be seen.
    virtual bool open() = 0;
    // The mount points of the volumes present now.
    virtual std::vector<std::wstring> present_volumes() = 0;
    // Blocks until volumes come or go (true, changes in the order seen) or
    // until stop was called (false).
    virtual bool wait_changes(std::vector<VolumeChange>& changes) = 0;
    // Ends the current and every later wait_changes.
    virtual void stop() = 0;

    // Whether the volume sits on a USB device.
    virtual bool is_usb_volume(const std::wstring& root) = 0;
    // A USB device whose vendor text begins with "velka", in any case.
    virtual bool is_vendor_device(const std::wstring& root) = 0;
    // The volume's name; none when the volume cannot be read.
    virtual std::optional<std::wstring> volume_label(const std::wstring& root) = 0;
};

// "velka" at the start of a vendor text, ignoring case.
bool is_vendor_name(const std::string& vendor);

}  // namespace MapsService
