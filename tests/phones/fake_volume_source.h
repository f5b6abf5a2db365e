#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "service/phones/volume_source.h"

namespace atlasync::testing {

// Volumes a test makes come and go. Label reads may be slowed down to show
// that whoever waits for them really waits.
class FakeVolumeSource final : public MapsService::VolumeSource {
public:
    struct Volume {
        std::wstring label;
        bool usb = true;
        std::string vendor = "Velka";
        bool readable = true;
    };

    // A volume present before the watcher starts.
    void present(const std::wstring& root, Volume volume);
    void arrive(const std::wstring& root, Volume volume);
    // Several volumes in one change.
    void arrive_together(const std::map<std::wstring, Volume>& volumes);
    void leave(const std::wstring& root);
    void set_label_delay(std::chrono::milliseconds delay) { m_labelDelay = delay; }
    // The watch breaks down, as on a poll error: wait_changes answers false
    // though nobody asked it to stop.
    void fail_watching();
    bool opened() const;

    bool open() override;
    std::vector<std::wstring> present_volumes() override;
    bool wait_changes(std::vector<MapsService::VolumeChange>& changes) override;
    void stop() override;
    bool is_usb_volume(const std::wstring& root) override;
    bool is_vendor_device(const std::wstring& root) override;
    std::optional<std::wstring> volume_label(const std::wstring& root) override;

private:
    std::optional<Volume> find(const std::wstring& root);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::wstring, Volume> m_volumes;
    std::deque<std::vector<MapsService::VolumeChange>> m_pending;
    bool m_stopped = false;
    bool m_failed = false;
    bool m_opened = false;
    std::chrono::milliseconds m_labelDelay{0};
};

}  // namespace atlasync::testing
