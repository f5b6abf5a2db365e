#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/core/message.h"
#include "tests/ui/qt_test_support.h"
#include "ui/messaging/call_gate.h"
#include "ui/messaging/device_view.h"
#include "ui/messaging/maps_message_thread.h"

namespace atlasync::testing {

// Phones and drives as the phone manager would report them.
struct TestPhone : MapsService::MessagePhone {
    TestPhone(std::uint32_t phoneId, std::wstring phoneName)
        : id(phoneId), name(std::move(phoneName)) {}
    std::wstring message_text() const override { return name; }
    std::uint32_t id;
    std::wstring name;
};

struct TestDrive : MapsService::MessageDrive {
    MapsService::MessagePhone* message_phone() const override { return phone; }
    std::wstring message_text() const override { return L"drive " + std::to_wstring(id); }

    std::uint32_t id = 0;
    TestPhone* phone = nullptr;
    std::wstring memoryType = L"MMC";
    std::int32_t connectionKind = 0;
    bool versionAnswer = true;  // what the version query answers
    bool versionValid = true;   // whether it found a valid maps application
    bool namedByUser = false;   // a folder handed in with --volume
};

class TestDevices : public ui::DeviceView {
public:
    std::uint32_t phone_id(const MapsService::MessagePhone& phone) const override {
        return static_cast<const TestPhone&>(phone).id;
    }
    std::wstring phone_name(const MapsService::MessagePhone& phone) const override {
        return static_cast<const TestPhone&>(phone).name;
    }
    std::uint32_t drive_id(const MapsService::MessageDrive& drive) const override {
        return static_cast<const TestDrive&>(drive).id;
    }
    std::wstring memory_type(const MapsService::MessageDrive& drive) const override {
        return static_cast<const TestDrive&>(drive).memoryType;
    }
    std::int32_t connection_kind(const MapsService::MessageDrive& drive) const override {
        return static_cast<const TestDrive&>(drive).connectionKind;
    }
    bool installed_mapsapp_version(const MapsService::MessageDrive& drive,
                                   bool& versionValid) const override {
        const auto& d = static_cast<const TestDrive&>(drive);
        versionValid = d.versionAnswer && d.versionValid;
        return d.versionAnswer;
    }
    bool named_by_user(const MapsService::MessageDrive& drive) const override {
        return static_cast<const TestDrive&>(drive).namedByUser;
    }
};

// Records what the observers tell the state machine.
class RecordingMachine : public ui::MachineView {
public:
    void phones_changed() override { calls.push_back("phones changed"); }
    void set_initial_search_done() override { calls.push_back("search done"); }
    void dispatch_signal(std::uint16_t signal) override {
        calls.push_back("signal " + std::to_string(signal));
    }
    void remove_region_id(std::uint32_t regionId) override {
        calls.push_back("remove region " + std::to_string(regionId));
    }
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    std::vector<std::string> calls;
};

// The real pump over the real message queue, delivering to this thread.
class PumpFixture {
public:
    PumpFixture();
    ~PumpFixture();

    ui::CMapsMessageThread& pump() { return m_pump; }
    // Waits until every message produced so far has been delivered here.
    void deliver();

private:
    class Counter;
    ui::CMainThreadCallGate m_gate;
    ui::CMapsMessageThread m_pump;
    std::unique_ptr<Counter> m_counter;
};

}  // namespace atlasync::testing
