#pragma once

#include <gtest/gtest.h>

#include <string>

#include "service/content/map_settings.h"
#include "service/content/velka_devices.h"
#include "service/phones/connectivity_side.h"
#include "service/phones/phone_manager.h"
#include "tests/content/drive_fixture.h"
#include "tests/devlinx/phone_farm.h"

namespace atlasync::testing {

// A phone farm served by the simulator, with the connectivity side started
// by each test and everything the manager holds released afterwards.
class SimulatedPhones : public ::testing::Test {
protected:
    void SetUp() override { drain_messages(); }
    void TearDown() override {
        EXPECT_EQ(MapsService::finalize_connectivity_side(), MapsService::kResultOk);
        // Read every message before the phones and drives they name go.
        drain_messages();
        MapsService::PhoneManager::FreeDeviceMap();
        MapsService::PhoneManager::SetDriveFlags(0);
        MapsService::velka_devices().clear();
    }

    // The device table comes from the map server at serverUrl; none by default.
    void start(std::int32_t driveFlags, const std::wstring& serverUrl = L"") {
        MapsService::PhoneManager::SetDriveFlags(driveFlags);
        ASSERT_EQ(MapsService::initialize_connectivity_side(serverUrl), MapsService::kResultOk);
    }

    static MapsService::Phone* phone_with_serial(const std::wstring& serial) {
        for (MapsService::Phone* phone : MapsService::PhoneManager::all_phones()) {
            if (phone->serial_number() == serial) {
                return phone;
            }
        }
        return nullptr;
    }

    // The phone's drive on the memory of that type ("DEV" or "MMC"), connected or not.
    static MapsService::PhoneDrive* drive_of(const MapsService::Phone* phone,
                                             const std::wstring& memoryType) {
        for (MapsService::PhoneDrive* drive : MapsService::PhoneManager::all_drives()) {
            if (drive->phone() == phone && drive->file_system().get_memory_type() == memoryType) {
                return drive;
            }
        }
        return nullptr;
    }

    // Maps settings on a memory of a simulated phone.
    void put_maps_settings(const std::string& phone, char memory, const std::string& clientId) {
        put_file(m_farm.memory(phone, memory) / "qf",
                 "format:QF\nclient_id:" + clientId + "\nquota:1\ndiskcache:cities\\diskcache\n");
        put_file(m_farm.memory(phone, memory) / "cities/diskcache/config.cfg",
                 std::string(32, '\0'));
    }

    PhoneFarm m_farm;
};

}  // namespace atlasync::testing
