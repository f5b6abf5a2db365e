#pragma once

#include <semaphore.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace MapsService {

class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};

class MutexBase : private NonCopyable {
public:
    virtual ~MutexBase() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// Re-entrant for the owning thread. lock() spins briefly before blocking because
// the service's locks guard only short operations.
class Mutex final : public MutexBase {
public:
    void lock() override;
    void unlock() override;

private:
    std::recursive_mutex m_section;
};

// Results of SemaphoreBase::wait.
inline constexpr int kWaitUndefined = 0;  // no semaphore to wait on
inline constexpr int kWaitAcquired = 1;
inline constexpr int kWaitTimedOut = 2;
// Time-out that waits without limit.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

class SemaphoreBase : private NonCopyable {
public:
    virtual ~SemaphoreBase() = default;
    virtual void post() = 0;
    [[nodiscard]] virtual int wait(std::uint32_t milliseconds) = 0;
};

// A counting semaphore. With a name it is a named POSIX semaphore ("/" + name)
// shared with other processes; without one it is private to this process. When
// creation fails the semaphore is null: post does nothing and wait answers
// kWaitUndefined at once.
class Semaphore final : public SemaphoreBase {
public:
    Semaphore(std::uint32_t initial, std::uint32_t maximum, const char* name);
    ~Semaphore() override;

    void post() override;
    [[nodiscard]] int wait(std::uint32_t milliseconds) override;
    bool is_null() const { return m_handle == nullptr; }

private:
    sem_t m_local{};
    sem_t* m_handle = nullptr;
    std::uint32_t m_maximum;
    bool m_named = false;
};

// Holds a lock for its scope; a null mutex is allowed and ignored.
class ScopedLock : private NonCopyable {
public:
    explicit ScopedLock(MutexBase* mutex) : m_mutex(mutex) {
        if (m_mutex != nullptr) {
            m_mutex->lock();
        }
    }
    explicit ScopedLock(MutexBase& mutex) : ScopedLock(&mutex) {}
    ~ScopedLock() {
        if (m_mutex != nullptr) {
            m_mutex->unlock();
        }
    }

private:
    MutexBase* m_mutex;
};

class CancelFlag : private NonCopyable {
public:
    void set();
    void reset();
    bool is_set() const;

private:
    mutable Mutex m_mutex;
    bool m_cancelled = false;
};

// The service's one cancellation flag: set by the user's cancel, polled by
// downloads, extraction, copying and installation.
CancelFlag& service_cancel_flag();

// The span of one service operation that a cancel is meant for. The flag is
// cleared when it starts and when it ends: a cancel that came too late for the
// previous operation must not fail the next one.
class CancellableOperation : private NonCopyable {
public:
    CancellableOperation();
    ~CancellableOperation();
};

// True when the flag is set while a cancellable operation runs. Requests made
// outside such an operation (a version check, a catalog load) are not cut short
// by a flag that no operation will clear.
bool cancel_requested();

// Gives each object of a derived class its own lock.
class ObjectLevelLockable {
public:
    class Lock : private NonCopyable {
    public:
        explicit Lock(const ObjectLevelLockable& owner) : m_lock(owner.m_objectMutex) {}

    private:
        ScopedLock m_lock;
    };

protected:
    ObjectLevelLockable() = default;
    ~ObjectLevelLockable() = default;

private:
    mutable Mutex m_objectMutex;
};

}  // namespace MapsService
