#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "ui/messaging/device_view.h"
#include "ui/messaging/maps_message_thread.h"

namespace atlasync::ui {

// Keeps the wizard's view of the connected phones: every phone, the drives that
// can hold maps for the wizard, and per phone the one drive the wizard would use.
class CPhoneObserver : public CPhoneMsgNfyItem {
public:
    using PhoneMap = std::map<std::uint32_t, MapsService::MessageDrive*>;  // phone id -> drive

    CPhoneObserver(CMapsMessageThread& pump, const DeviceView& devices, MachineView& machine);

    void on_message(const MapsService::Message& message, std::uint32_t tick) override;

    // Read by the state machine on the user-interface thread.
    const PhoneMap& phone_map() const { return m_phoneMap; }
    const std::map<std::uint32_t, MapsService::MessagePhone*>& phones() const { return m_phones; }
    const std::map<std::uint32_t, MapsService::MessageDrive*>& qualifying_drives() const {
        return m_drives;
    }

    // Whether the wizard can use the drive: a folder the user named, or a
    // drive whose version query answers true and that is reached through the
    // connectivity library (kinds 0, 1, 3).
    bool qualifies(const MapsService::MessageDrive& drive) const;

    // Whether the service told that the drive's maps are incomplete: an update
    // began changing it, or found it left so by an earlier run. Never taken
    // back, since the wizard's run ends with the update that completes them.
    bool maps_incomplete(std::uint32_t driveId) const {
        return m_incompleteDrives.count(driveId) != 0;
    }

protected:
    virtual void phone_found(MapsService::MessagePhone& /*phone*/) {}
    virtual void phone_lost(MapsService::MessagePhone& /*phone*/) {}
    virtual void drive_found(MapsService::MessageDrive& drive);
    virtual void drive_lost(MapsService::MessageDrive& drive);
    virtual void search_done();

private:
    void rebuild_phone_map();
    bool holds_mapsapp(const MapsService::MessageDrive& drive) const;

    const DeviceView& m_devices;
    MachineView& m_machine;
    std::map<std::uint32_t, MapsService::MessagePhone*> m_phones;
    std::map<std::uint32_t, MapsService::MessageDrive*> m_drives;  // by drive id
    PhoneMap m_phoneMap;
    std::set<std::uint32_t> m_incompleteDrives;  // drive ids
};

}  // namespace atlasync::ui
