#include "service/core/sync.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <thread>

namespace MapsService {

void Mutex::lock() {
    constexpr int kAttempts = 6;
    for (int attempt = 1; attempt < kAttempts; ++attempt) {
        if (m_section.try_lock()) {
            return;
        }
        std::this_thread::yield();
    }
    if (m_section.try_lock()) {
        return;
    }
    m_section.lock();
}

void Mutex::unlock() {
    m_section.unlock();
}

Semaphore::Semaphore(std::uint32_t initial, std::uint32_t maximum, const char* name)
    : m_maximum(maximum) {
    if (name != nullptr) {
        std::string posixName = "/";
        for (const char* c = name; *c != '\0'; ++c) {
            posixName.push_back(*c == '/' || *c == '\\' ? '$' : *c);
        }
        sem_t* named = sem_open(posixName.c_str(), O_CREAT, 0600, initial);
        if (named != SEM_FAILED) {
            m_handle = named;
            m_named = true;
        }
    } else if (sem_init(&m_local, 0, initial) == 0) {
        m_handle = &m_local;
    }
}

Semaphore::~Semaphore() {
    if (m_handle == nullptr) {
        return;
    }
    if (m_named) {
        sem_close(m_handle);
    } else {
        sem_destroy(m_handle);
    }
}

void Semaphore::post() {
    if (m_handle == nullptr) {
        return;
    }
    int value = 0;
    if (sem_getvalue(m_handle, &value) == 0 && value >= 0 &&
        static_cast<std::uint32_t>(value) >= m_maximum) {
        return;
    }
    sem_post(m_handle);
}

int Semaphore::wait(std::uint32_t milliseconds) {
    if (m_handle == nullptr) {
        return kWaitUndefined;
    }
    if (milliseconds == kWaitForever) {
        while (sem_wait(m_handle) != 0) {
            if (errno != EINTR) {
                return kWaitTimedOut;
            }
        }
        return kWaitAcquired;
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (sem_clockwait(m_handle, CLOCK_MONOTONIC, &deadline) != 0) {
        if (errno != EINTR) {
            return kWaitTimedOut;
        }
    }
    return kWaitAcquired;
}

void CancelFlag::set() {
    ScopedLock lock(m_mutex);
    m_cancelled = true;
}

void CancelFlag::reset() {
    ScopedLock lock(m_mutex);
    m_cancelled = false;
}

bool CancelFlag::is_set() const {
    ScopedLock lock(m_mutex);
    return m_cancelled;
}

namespace {

// Operations run one at a time on the worker; one nested in another (a facade
// operation calling another) leaves the flag to the outer one.
std::atomic<int> g_runningOperations{0};

}  // namespace

CancellableOperation::CancellableOperation() {
    if (g_runningOperations.fetch_add(1) == 0) {
        service_cancel_flag().reset();
    }
}

CancellableOperation::~CancellableOperation() {
    if (g_runningOperations.fetch_sub(1) == 1) {
        service_cancel_flag().reset();
    }
}

bool cancel_requested() {
    return g_runningOperations.load() > 0 && service_cancel_flag().is_set();
}

}  // namespace MapsService
