#include "tests/phones/fake_volume_source.h"

#include <thread>

namespace atlasync::testing {

using MapsService::VolumeChange;

void FakeVolumeSource::present(const std::wstring& root, Volume volume) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_volumes[root] = std::move(volume);
}

void FakeVolumeSource::arrive(const std::wstring& root, Volume volume) {
    arrive_together({{root, std::move(volume)}});
}

void FakeVolumeSource::arrive_together(const std::map<std::wstring, Volume>& volumes) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<VolumeChange> changes;
        for (const auto& [root, volume] : volumes) {
            m_volumes[root] = volume;
            changes.push_back({true, root});
        }
        m_pending.push_back(std::move(changes));
    }
    m_changed.notify_all();
}

void FakeVolumeSource::leave(const std::wstring& root) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_volumes.erase(root);
        m_pending.push_back({{false, root}});
    }
    m_changed.notify_all();
}

void FakeVolumeSource::fail_watching() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failed = true;
    }
    m_changed.notify_all();
}

bool FakeVolumeSource::opened() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opened;
}

bool FakeVolumeSource::open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_opened = true;
    return true;
}

std::vector<std::wstring> FakeVolumeSource::present_volumes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::wstring> roots;
    for (const auto& [root, volume] : m_volumes) {
        roots.push_back(root);
    }
    return roots;
}

bool FakeVolumeSource::wait_changes(std::vector<VolumeChange>& changes) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopped || m_failed || !m_pending.empty(); });
    if (m_stopped || m_failed) {
        return false;
    }
    changes = std::move(m_pending.front());
    m_pending.pop_front();
    return true;
}

void FakeVolumeSource::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

std::optional<FakeVolumeSource::Volume> FakeVolumeSource::find(const std::wstring& root) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_volumes.find(root);
    if (found == m_volumes.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool FakeVolumeSource::is_usb_volume(const std::wstring& root) {
    const auto volume = find(root);
    return volume && volume->usb;
}

bool FakeVolumeSource::is_vendor_device(const std::wstring& root) {
    const auto volume = find(root);
    return volume && volume->usb && MapsService::is_vendor_name(volume->vendor);
}

std::optional<std::wstring> FakeVolumeSource::volume_label(const std::wstring& root) {
    std::this_thread::sleep_for(m_labelDelay);
    const auto volume = find(root);
    if (!volume || !volume->readable) {
        return std::nullopt;
    }
    return volume->label;
}

}  // namespace atlasync::testing
