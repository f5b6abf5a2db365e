#pragma once

#include <cstdint>
#include <string>

#include "service/core/message.h"

namespace atlasync::ui {

// What the observers ask of the phones and drives that messages name. The
// phone manager's objects answer it; the messages only carry the pointers. Every
// call happens on the user-interface thread while the object is alive (the phone
// manager keeps a lost phone or drive until its message has been handled).
class DeviceView {
public:
    virtual ~DeviceView() = default;

    // The phone's process-unique id, from 1.
    virtual std::uint32_t phone_id(const MapsService::MessagePhone& phone) const = 0;
    // The name the phone list shows.
    virtual std::wstring phone_name(const MapsService::MessagePhone& phone) const = 0;

    // The drive's process-unique id, from 1.
    virtual std::uint32_t drive_id(const MapsService::MessageDrive& drive) const = 0;
    // "MMC" for a memory card, "DEV" for the phone memory.
    virtual std::wstring memory_type(const MapsService::MessageDrive& drive) const = 0;
    // How the drive's file system is reached: 0 to 3 through the connectivity
    // library, 4 for a local volume, 255 unknown.
    virtual std::int32_t connection_kind(const MapsService::MessageDrive& drive) const = 0;
    // The installed maps-application version query: its answer (for a drive
    // without maps settings, whether its phone can install SIS applications),
    // and in versionValid whether a valid version was read.
    virtual bool installed_mapsapp_version(const MapsService::MessageDrive& drive,
                                           bool& versionValid) const = 0;
    // A folder the user named (--volume), offered as a drive by itself.
    virtual bool named_by_user(const MapsService::MessageDrive& drive) const = 0;
};

// What the observers ask of the wizard's state machine; called on the
// user-interface thread only.
class MachineView {
public:
    virtual ~MachineView() = default;

    // The phone map was rebuilt.
    virtual void phones_changed() = 0;
    // The service's first enumeration of phone drives has ended.
    virtual void set_initial_search_done() = 0;
    virtual void dispatch_signal(std::uint16_t signal) = 0;
    // A region finished downloading; a retried update asks only for the rest.
    virtual void remove_region_id(std::uint32_t regionId) = 0;
};

}  // namespace atlasync::ui
