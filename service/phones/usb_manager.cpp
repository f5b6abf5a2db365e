#include "service/phones/usb_manager.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <system_error>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system_win.h"
#include "service/phones/phone_manager.h"

namespace MapsService {

namespace {

// What FileSystemWin reports as its connection kind: a local volume or folder.
constexpr std::int32_t kLocalVolume = 4;
constexpr auto kStopWait = std::chrono::milliseconds(5000);

}  // namespace

bool is_vendor_name(const std::string& vendor) {
    static constexpr char kVendor[] = "velka";
    if (vendor.size() < sizeof kVendor - 1) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < sizeof kVendor; ++i) {
        if (std::tolower(static_cast<unsigned char>(vendor[i])) != kVendor[i]) {
            return false;
        }
    }
    return true;
}

UsbManager::UsbManager(std::unique_ptr<VolumeSource> source, std::chrono::milliseconds labelDelay)
    : m_source(std::move(source)), m_labelDelay(labelDelay) {}

UsbManager::~UsbManager() {
    (void)stop_();
}

bool UsbManager::start_() {
    ScopeTrace scope("MapsService::UsbManager::start_");
    if (m_watcher.joinable()) {
        return true;
    }
    m_startupCount = 0;
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        m_startupPending = true;
        m_startupDone = false;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_stopHandler = false;
    }
    {
        std::lock_guard<std::mutex> lock(m_watcherEndMutex);
        m_watcherDone = false;
    }
    m_handler = std::thread(&UsbManager::handler_thread, this);
    m_watcherRunning = true;
    try {
        m_watcher = std::thread(&UsbManager::watcher_thread, this);
    } catch (const std::system_error&) {
        // Without its watcher nothing would ever stop the handler.
        {
            std::lock_guard<std::mutex> lock(m_queueMutex);
            m_stopHandler = true;
        }
        m_queueChanged.notify_all();
        m_handler.join();
        m_watcherRunning = false;
        throw;
    }
    std::unique_lock<std::mutex> lock(m_startupMutex);
    m_startupChanged.wait(lock, [this] { return m_startupDone; });
    m_startupPending = false;
    return true;
}

bool UsbManager::stop_() {
    ScopeTrace scope("MapsService::UsbManager::stop_");
    if (!m_watcher.joinable()) {
        return true;
    }
    m_source->stop();
    bool inTime = false;
    {
        std::unique_lock<std::mutex> lock(m_watcherEndMutex);
        inTime = m_watcherEnded.wait_for(lock, kStopWait, [this] { return m_watcherDone; });
    }
    if (!inTime) {
        TraceError("UsbManager::stop_( ): the watcher thread did not end within %d ms",
                   static_cast<int>(kStopWait.count()));
    }
    m_watcher.join();
    return inTime;
}

void UsbManager::watcher_thread() {
    ScopeTrace scope("MapsService::UsbManager::watcher_thread");
    if (!m_source->open()) {
        TraceWarning(L"UsbManager: volumes coming and going cannot be watched");
    }
    AddCurrentlyAvailableDevices();
    std::vector<VolumeChange> changes;
    while (m_source->wait_changes(changes)) {
        for (const VolumeChange& change : changes) {
            if (change.arrived) {
                (void)queue_arrival(Arrival{change.root, false, nullptr});
            } else {
                queue_removal(change.root);
            }
        }
        changes.clear();
    }
    // Stopped, or the source failed: either way nothing will come in any more.
    // A volume handed in from now on is refused rather than left to wait for
    // a handler that has gone.
    m_watcherRunning = false;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_stopHandler = true;
    }
    m_queueChanged.notify_all();
    m_handler.join();
    std::lock_guard<std::mutex> lock(m_watcherEndMutex);
    m_watcherDone = true;
    m_watcherEnded.notify_all();
}

void UsbManager::AddCurrentlyAvailableDevices() {
    ScopeTrace scope("MapsService::UsbManager::AddCurrentlyAvailableDevices");
    std::vector<std::wstring> found;
    for (const std::wstring& root : m_source->present_volumes()) {
        if (m_source->is_usb_volume(root) && m_source->volume_label(root)) {
            found.push_back(root);
        }
    }
    // Counted in full before the first is queued, so the handler cannot reach
    // zero while volumes are still to come.
    m_startupCount += static_cast<std::int32_t>(found.size());
    TraceInfo("UsbManager::AddCurrentlyAvailableDevices( ): %d drives found at startup",
              static_cast<int>(found.size()));
    for (const std::wstring& root : found) {
        (void)queue_arrival(Arrival{root, true, nullptr});
    }
    if (found.empty()) {
        signal_startup();
    }
}

bool UsbManager::add_volume(const std::wstring& root) {
    if (!m_watcherRunning) {
        return false;
    }
    auto handled = std::make_shared<std::promise<void>>();
    std::future<void> done = handled->get_future();
    if (!queue_arrival(Arrival{root, false, handled})) {
        TraceError(L"volume %s not added: the USB watcher has ended", root.c_str());
        return false;
    }
    done.wait();
    return true;
}

void UsbManager::handler_thread() {
    ScopeTrace scope("MapsService::UsbManager::handler_thread");
    while (true) {
        std::optional<Arrival> arrival;
        std::wstring removal;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_queueChanged.wait(lock, [this] {
                return !m_arrivals.empty() || !m_removals.empty() || m_stopHandler;
            });
            // Arrivals go first, but not past an older removal of the same
            // volume: one unmounted and mounted again while its arrival was
            // handled must end up mounted.
            auto removed = m_removals.begin();
            if (!m_arrivals.empty()) {
                const Arrival& next = m_arrivals.front();
                removed =
                    std::find_if(m_removals.begin(), m_removals.end(), [&next](const Removal& r) {
                        return r.root == next.root && r.order < next.order;
                    });
            }
            if (removed != m_removals.end()) {
                removal = std::move(removed->root);
                m_removals.erase(removed);
            } else if (!m_arrivals.empty()) {
                arrival = std::move(m_arrivals.front());
                m_arrivals.pop_front();
            } else {
                return;
            }
        }
        if (arrival) {
            handle_arrival(*arrival);
        } else {
            handle_removal(removal);
        }
    }
}

bool UsbManager::queue_arrival(Arrival arrival) {
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_stopHandler) {
            return false;
        }
        arrival.order = m_nextOrder++;
        m_arrivals.push_back(std::move(arrival));
    }
    m_queueChanged.notify_all();
    return true;
}

void UsbManager::queue_removal(const std::wstring& root) {
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_removals.push_back(Removal{root, m_nextOrder++});
    }
    m_queueChanged.notify_all();
}

void UsbManager::handle_arrival(const Arrival& arrival) {
    // An exception must not end the handler: every later volume would be lost.
    try {
        // A volume just mounted gets time to settle; a folder handed in by name
        // is there already, and the caller waits for it.
        if (!arrival.handled) {
            std::this_thread::sleep_for(m_labelDelay);
        }
        const std::optional<std::wstring> label = m_source->volume_label(arrival.root);
        if (label) {
            const bool vendor = m_source->is_vendor_device(arrival.root);
            Phone* phone = PhoneManager::AddPhone(*label, std::wstring());
            PhoneManager::AddPhoneDrive(phone, std::make_unique<FileSystemWin>(arrival.root),
                                        vendor, arrival.handled != nullptr);
        } else {
            TraceWarning(L"volume %s ignored: it cannot be read", arrival.root.c_str());
        }
    } catch (const std::exception& e) {
        TraceError(L"exception while adding volume %s: %s", arrival.root.c_str(),
                   to_wide(e.what()).c_str());
    }
    if (arrival.atStartup) {
        startup_volume_done();
    }
    if (arrival.handled) {
        arrival.handled->set_value();
    }
}

void UsbManager::handle_removal(const std::wstring& root) {
    std::vector<PhoneDrive*> drives;
    (void)PhoneManager::GetConnectedDrives(drives);
    for (PhoneDrive* drive : drives) {
        if (drive->file_system().connection_kind() != kLocalVolume || drive->name() != root) {
            continue;
        }
        PhoneManager::OnDriveLost(drive);
        Phone* phone = drive->phone();
        // A phone already reported lost (its other volume went first) is not reported again.
        if (phone->connected() && phone->count_valid_drives() == 0) {
            PhoneManager::RemovePhone(phone);
        }
        return;
    }
}

void UsbManager::startup_volume_done() {
    if (--m_startupCount == 0) {
        signal_startup();
    }
}

void UsbManager::signal_startup() {
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        if (!m_startupPending) {
            return;
        }
        m_startupDone = true;
    }
    m_startupChanged.notify_all();
}

}  // namespace MapsService
