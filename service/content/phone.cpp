#include "service/content/phone.h"

#include <algorithm>
#include <atomic>

#include "service/content/phone_drive.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

std::int32_t next_phone_id() {
    static std::atomic<std::int32_t> counter{0};
    return ++counter;
}

}  // namespace

Phone::Phone(std::wstring name, std::wstring serialNumber)
    : m_id(next_phone_id()), m_name(std::move(name)), m_serialNumber(std::move(serialNumber)) {}

#define PHONE_FIELD(Type, getter, setter, member) \
    Type Phone::getter() const {                  \
        ScopedLock lock(m_mutex);                 \
        return member;                            \
    }                                             \
    void Phone::setter(Type value) {              \
        ScopedLock lock(m_mutex);                 \
        member = std::move(value);                \
    }

PHONE_FIELD(std::wstring, model_name, set_model_name, m_modelName)
PHONE_FIELD(std::wstring, extra_text, set_extra_text, m_extraText)
PHONE_FIELD(std::wstring, imsi, set_imsi, m_imsi)
PHONE_FIELD(std::int32_t, device_type, set_device_type, m_deviceType)
PHONE_FIELD(std::int32_t, device_generation, set_device_generation, m_deviceGeneration)
PHONE_FIELD(bool, can_list_applications, set_can_list_applications, m_canListApplications)
PHONE_FIELD(bool, connected, set_connected, m_connected)

#undef PHONE_FIELD

std::wstring Phone::name() const {
    ScopedLock lock(m_mutex);
    return m_name;
}

std::wstring Phone::serial_number() const {
    ScopedLock lock(m_mutex);
    return m_serialNumber;
}

bool Phone::can_install_sis() const {
    ScopedLock lock(m_mutex);
    TraceInfo(L"Phone %s can install sis applications: %s", m_name.c_str(),
              m_canInstallSis ? L"yes" : L"no");
    return m_canInstallSis;
}

void Phone::set_can_install_sis(bool value) {
    ScopedLock lock(m_mutex);
    m_canInstallSis = value;
}

std::vector<PhoneDrive*> Phone::drives() const {
    ScopedLock lock(m_mutex);
    return m_drives;
}

void Phone::add_drive(PhoneDrive* drive) {
    ScopedLock lock(m_mutex);
    if (std::find(m_drives.begin(), m_drives.end(), drive) == m_drives.end()) {
        m_drives.push_back(drive);
    }
}

void Phone::remove_drive(const PhoneDrive* drive) {
    ScopedLock lock(m_mutex);
    m_drives.erase(std::remove(m_drives.begin(), m_drives.end(), drive), m_drives.end());
}

std::int32_t Phone::count_valid_drives() const {
    ScopedLock lock(m_mutex);
    if (!m_connected) {
        return 0;
    }
    return static_cast<std::int32_t>(std::count_if(
        m_drives.begin(), m_drives.end(),
        [](const PhoneDrive* drive) { return drive->valid() && drive->connected(); }));
}

std::wstring Phone::message_text() const {
    return name();
}

}  // namespace MapsService
