#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/core/message.h"
#include "service/core/sync.h"

namespace MapsService {

class PhoneDrive;

// One phone as the service knows it. Every accessor takes the phone's own
// mutex, since device notifications and the facade's worker both reach it.
class Phone : public MessagePhone {
public:
    Phone(std::wstring name, std::wstring serialNumber);

    std::int32_t id() const { return m_id; }  // fixed at construction
    std::wstring name() const;
    std::wstring serial_number() const;
    std::wstring model_name() const;
    void set_model_name(std::wstring value);
    std::wstring extra_text() const;
    void set_extra_text(std::wstring value);
    std::wstring imsi() const;
    void set_imsi(std::wstring value);
    std::int32_t device_type() const;
    void set_device_type(std::int32_t value);
    std::int32_t device_generation() const;
    void set_device_generation(std::int32_t value);
    // Traces "Phone %s can install sis applications: %s".
    bool can_install_sis() const;
    void set_can_install_sis(bool value);
    bool can_list_applications() const;
    void set_can_list_applications(bool value);
    bool connected() const;
    void set_connected(bool value);

    // The phone's drives (not owned).
    std::vector<PhoneDrive*> drives() const;
    void add_drive(PhoneDrive* drive);
    void remove_drive(const PhoneDrive* drive);
    // Drives both valid and connected; 0 while the phone itself is not connected.
    std::int32_t count_valid_drives() const;

    std::wstring message_text() const override;

private:
    const std::int32_t m_id;
    mutable Mutex m_mutex;
    std::wstring m_name;
    std::wstring m_serialNumber;
    std::wstring m_modelName;
    std::wstring m_extraText;
    std::wstring m_imsi;
    std::int32_t m_deviceType = 0;
    bool m_canInstallSis = false;
    bool m_canListApplications = false;
    std::int32_t m_deviceGeneration = 0;
    bool m_connected = false;
    std::vector<PhoneDrive*> m_drives;
};

}  // namespace MapsService
