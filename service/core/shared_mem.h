#pragma once

#include <semaphore.h>

#include <cstdint>
#include <string>

#include "service/core/sync.h"

namespace MapsService {

// Counts the running instances of the program across processes. The counter
// follows live processes only: an instance that died without cleaning up (a
// crash, SIGKILL) no longer counts, so it can never block later starts.
//
// The objects belong to the user who runs the program: their names carry the
// user's id, and objects of the same name owned by anybody else are refused,
// so one user's instance never blocks or steers another user's. The last
// instance to leave removes them, as the last handle to a named kernel object
// does on the desktop platform the protocol comes from.
class CSharedMem : private NonCopyable {
public:
    static constexpr const char* kDefaultBaseName = "Mapporter API";
    static constexpr int kMaximumInstances = 64;

    // Throws std::runtime_error with the traditional text and the reason
    // ("Error in MyEvent ctor: /Mapporter API.1000^ev: Permission denied")
    // when the named objects cannot be built.
    explicit CSharedMem(const std::string& baseName = kDefaultBaseName);
    ~CSharedMem();

    // Registers this process and answers its instance number: 1 when no other
    // live instance holds one.
    std::int32_t increment();
    std::int32_t instance_number() const { return m_instanceNumber; }
    // Live instances now registered.
    std::int32_t count() const;

    // The kernel object's name for a base name and a suffix ("^ev", "^mx",
    // "^mf"): "/", the base with "\" and "/" as "$", "." and the user's id.
    static std::string object_name(const std::string& baseName, const char* suffix);
    // Removes the named objects of a base name whatever they count; for tests
    // and for a user clearing what a killed instance left.
    static void remove_objects(const std::string& baseName);

private:
    struct SharedBlock;

    void open_locked_mutex(const std::string& baseName);
    void lock() const;
    void unlock() const;
    void purge_dead_instances() const;

    std::string m_baseName;
    sem_t* m_event = nullptr;  // "^ev": posted whenever the count changes
    int m_mutex = -1;          // "^mx": a lock file the kernel releases when its holder dies
    int m_mapping = -1;        // "^mf": the shared block
    SharedBlock* m_shared = nullptr;
    int m_slot = -1;  // this object's slot in the block
    std::int32_t m_instanceNumber = 0;
};

}  // namespace MapsService
