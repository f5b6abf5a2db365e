#pragma once

#include <semaphore.h>

#include <cstdint>
#include <string>

#include "service/core/sync.h"

namespace MapsService {

// Counts the running instances of the program across processes. The counter
// follows live processes only: an instance that died without cleaning up (a
// crash, SIGKILL) no longer counts, so it can never block later starts.
class CSharedMem : private NonCopyable {
public:
    static constexpr const char* kDefaultBaseName = "Mapporter API";
    static constexpr int kMaximumInstances = 64;

    // Throws std::runtime_error with the traditional texts when the named
    // objects cannot be built.
    explicit CSharedMem(const std::string& baseName = kDefaultBaseName);
    ~CSharedMem();

    // Registers this process and answers its instance number: 1 when no other
    // live instance holds one.
    std::int32_t increment();
    std::int32_t instance_number() const { return m_instanceNumber; }
    // Live instances now registered.
    std::int32_t count() const;

private:
    struct SharedBlock;

    void lock() const;
    void unlock() const;
    void purge_dead_instances() const;

    sem_t* m_event = nullptr;  // "^ev": posted whenever the count changes
    int m_mutex = -1;          // "^mx": a lock file the kernel releases when its holder dies
    int m_mapping = -1;        // "^mf": the shared block
    SharedBlock* m_shared = nullptr;
    std::int32_t m_instanceNumber = 0;
};

}  // namespace MapsService
