#include "service/devices/connectivity_watcher.h"

#include <fcntl.h>

#include <chrono>

namespace MapsService {

namespace {

// Named semaphores cannot be waited on together with a stop request, so the
// thread looks at them at this interval.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

sem_t* open_request(const std::string& name) {
    return ::sem_open(name.c_str(), O_CREAT, 0600, 0);
}

void lower(sem_t* request) {
    while (::sem_trywait(request) == 0) {
    }
}

}  // namespace

ConnectivityWatcher::ConnectivityWatcher(const ConnectivityRequestNames& names, Handler handle)
    : m_handle(std::move(handle)),
      m_release(open_request(names.release)),
      m_reload(open_request(names.reload)) {
    // Requests raised before this start concern an earlier library; start clean.
    if (m_release != SEM_FAILED) {
        lower(m_release);
    }
    if (m_reload != SEM_FAILED) {
        lower(m_reload);
    }
    m_thread = std::thread([this] { run(); });
}

ConnectivityWatcher::~ConnectivityWatcher() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_release != SEM_FAILED) {
        ::sem_close(m_release);
    }
    if (m_reload != SEM_FAILED) {
        ::sem_close(m_reload);
    }
}

bool ConnectivityWatcher::poll(sem_t* request, ConnectivityRequest kind) {
    int value = 0;
    if (request == SEM_FAILED || ::sem_getvalue(request, &value) != 0) {
        return false;
    }
    if (value > 0 && m_handle(kind)) {
        lower(request);
    }
    return true;
}

void ConnectivityWatcher::run() {
    if (m_release == SEM_FAILED && m_reload == SEM_FAILED) {
        return;  // nothing to watch
    }
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, kPollInterval, [this] { return m_stop; })) {
        lock.unlock();
        // Both are polled every round, whatever the first answers.
        const bool watchingRelease = poll(m_release, ConnectivityRequest::Release);
        const bool watchingReload = poll(m_reload, ConnectivityRequest::Reload);
        const bool watching = watchingRelease || watchingReload;
        lock.lock();
        if (!watching) {
            return;
        }
    }
}

}  // namespace MapsService
