#pragma once

#include <gtest/gtest.h>

#include <string>

#include "devlinx/devlinx_api.h"
#include "tests/devlinx/phone_farm.h"

namespace atlasync::testing {

// The simulator's three modules started over a fresh farm, with a device manager.
class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DMAPI_Initialize(DLNK_DMAPI_VERSION, nullptr), DLNK_OK);
        ASSERT_EQ(FSAPI_Initialize(DLNK_FSAPI_VERSION, nullptr), DLNK_OK);
        ASSERT_EQ(DIAPI_Initialize(DLNK_DIAPI_VERSION, nullptr), DLNK_OK);
        ASSERT_EQ(DLNKOpenDM(&m_dm), DLNK_OK);
    }
    void TearDown() override {
        for (DLNKFSHANDLE fs : m_open) {
            DLNKCloseFS(fs);
        }
        EXPECT_EQ(DLNKCloseDM(m_dm), DLNK_OK);
        EXPECT_EQ(DIAPI_Terminate(nullptr), DLNK_OK);
        EXPECT_EQ(FSAPI_Terminate(nullptr), DLNK_OK);
        EXPECT_EQ(DMAPI_Terminate(nullptr), DLNK_OK);
    }

    // A file-system handle on the phone, closed at the end of the test.
    DLNKFSHANDLE open(const std::wstring& serial) {
        uint32_t media = DLNK_MEDIA_ANY;
        uint32_t deviceId = 0;
        DLNKFSHANDLE fs = nullptr;
        EXPECT_EQ(DLNKOpenFS(serial.c_str(), &media, &deviceId, &fs), DLNK_OK);
        if (fs != nullptr) {
            m_open.push_back(fs);
        }
        return fs;
    }

    PhoneFarm m_farm;
    DLNKDMHANDLE m_dm = nullptr;
    std::vector<DLNKFSHANDLE> m_open;
};

}  // namespace atlasync::testing
