#include "ui/messaging/phone_observer.h"

#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

using MapsService::Message;
using MapsService::MessageDrive;

CPhoneObserver::CPhoneObserver(CMapsMessageThread& pump, const DeviceView& devices,
                               MachineView& machine)
    : CPhoneMsgNfyItem(pump), m_devices(devices), m_machine(machine) {}

void CPhoneObserver::on_message(const Message& message, std::uint32_t /*tick*/) {
    switch (message.type) {
        case MapsService::MSG_PHONE_FOUND:
            if (message.phone != nullptr) {
                m_phones[m_devices.phone_id(*message.phone)] = message.phone;
                phone_found(*message.phone);
            }
            break;
        case MapsService::MSG_PHONE_LOST:
            if (message.phone != nullptr) {
                m_phones.erase(m_devices.phone_id(*message.phone));
                phone_lost(*message.phone);
            }
            break;
        case MapsService::MSG_DRIVE_FOUND:
            if (message.drive == nullptr) {
                search_done();
            } else if (qualifies(*message.drive)) {
                m_drives[m_devices.drive_id(*message.drive)] = message.drive;
                drive_found(*message.drive);
            }
            break;
        case MapsService::MSG_DRIVE_LOST:
            // Looked up by id rather than asked again: a drive that has gone
            // usually answers its queries differently than when it was found,
            // and must not stay listed.
            if (message.drive != nullptr &&
                m_drives.erase(m_devices.drive_id(*message.drive)) != 0) {
                drive_lost(*message.drive);
            }
            break;
        case MapsService::MSG_MAPS_INCOMPLETE:
            if (message.drive != nullptr) {
                m_incompleteDrives.insert(m_devices.drive_id(*message.drive));
            }
            break;
        default:
            break;
    }
}

bool CPhoneObserver::qualifies(const MessageDrive& drive) const {
    // The user asked for this folder: what phone, if any, is behind it does
    // not matter, since no application goes onto it.
    if (m_devices.named_by_user(drive)) {
        return true;
    }
    bool versionValid = false;
    if (!m_devices.installed_mapsapp_version(drive, versionValid)) {
        return false;
    }
    const std::int32_t kind = m_devices.connection_kind(drive);
    return kind == 0 || kind == 1 || kind == 3;
}

bool CPhoneObserver::holds_mapsapp(const MessageDrive& drive) const {
    bool versionValid = false;
    m_devices.installed_mapsapp_version(drive, versionValid);
    return versionValid;
}

void CPhoneObserver::drive_found(MessageDrive& /*drive*/) {
    rebuild_phone_map();
    m_machine.phones_changed();
}

void CPhoneObserver::drive_lost(MessageDrive& /*drive*/) {
    rebuild_phone_map();
    m_machine.phones_changed();
}

void CPhoneObserver::search_done() {
    m_machine.set_initial_search_done();
    m_machine.dispatch_signal(SIG_PHONE_SEARCH_DONE);
}

void CPhoneObserver::rebuild_phone_map() {
    m_phoneMap.clear();
    for (const auto& [driveId, drive] : m_drives) {
        MapsService::MessagePhone* phone = drive->message_phone();
        if (phone == nullptr) {
            continue;
        }
        const auto [slot, inserted] = m_phoneMap.try_emplace(m_devices.phone_id(*phone), drive);
        if (inserted) {
            continue;
        }
        const bool earlierHolds = holds_mapsapp(*slot->second);
        const bool laterHolds = holds_mapsapp(*drive);
        if (earlierHolds != laterHolds) {
            if (laterHolds) {
                slot->second = drive;
            }
        } else if (m_devices.memory_type(*slot->second) != L"MMC") {
            slot->second = drive;
        }
    }
}

}  // namespace atlasync::ui
