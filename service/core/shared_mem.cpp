#include "service/core/shared_mem.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "service/core/process_info.h"

namespace MapsService {

// One slot per process that has the objects open; a registered slot is a
// running instance. The start time tells a live process from a later one that
// was given the same id.
struct CSharedMem::SharedBlock {
    std::int32_t counter;  // registered live instances
    std::int32_t reserved;
    struct Slot {
        std::int32_t pid;
        std::int32_t registered;  // 1: counted by increment(), 0: only has the objects open
        std::uint64_t startTime;
    } slots[kMaximumInstances];
};

namespace {

std::runtime_error failure(const char* what, const std::string& name, const std::string& why) {
    return std::runtime_error(std::string(what) + ": " + name + ": " + why);
}

std::runtime_error failure(const char* what, const std::string& name, int error) {
    return failure(what, name, std::string(std::strerror(error)));
}

// Another user's object under our name would let that user block or steer
// this one's instances: it is never used.
bool owned_by_us(const struct stat& info) {
    return info.st_uid == geteuid();
}

bool same_object(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string CSharedMem::object_name(const std::string& baseName, const char* suffix) {
    std::string name = "/" + baseName;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (name[i] == '\\' || name[i] == '/') {
            name[i] = '$';
        }
    }
    return name + "." + std::to_string(geteuid()) + suffix;
}

void CSharedMem::remove_objects(const std::string& baseName) {
    shm_unlink(object_name(baseName, "^mf").c_str());
    sem_unlink(object_name(baseName, "^ev").c_str());
    shm_unlink(object_name(baseName, "^mx").c_str());
}

CSharedMem::CSharedMem(const std::string& baseName) : m_baseName(baseName) {
    open_locked_mutex(baseName);
    // From here on the lock is held: the last instance cannot remove the
    // objects while they are being opened.
    const std::string eventName = object_name(baseName, "^ev");
    m_event = sem_open(eventName.c_str(), O_CREAT, 0600, 0);
    std::string why;
    if (m_event == SEM_FAILED) {
        why = std::strerror(errno);
        m_event = nullptr;
    } else {
        // The semaphore's file is where glibc keeps it: "sem." and the name.
        struct stat info {};
        if (stat(("/dev/shm/sem." + eventName.substr(1)).c_str(), &info) == 0 &&
            !owned_by_us(info)) {
            why = "owned by another user";
        }
    }
    if (!why.empty()) {
        if (m_event != nullptr) {
            sem_close(m_event);
        }
        unlock();
        close(m_mutex);
        throw failure("Error in MyEvent ctor", eventName, why);
    }

    const std::string mappingName = object_name(baseName, "^mf");
    m_mapping = shm_open(mappingName.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    struct stat info {};
    if (m_mapping < 0 || fstat(m_mapping, &info) != 0) {
        why = std::strerror(errno);
    } else if (!owned_by_us(info)) {
        why = "owned by another user";
    }
    // A mapping of the wrong size (created by something else) is not ours to trust.
    const bool created = why.empty() && info.st_size == 0;
    if (created) {
        if (ftruncate(m_mapping, sizeof(SharedBlock)) != 0) {
            why = std::strerror(errno);
        }
    } else if (why.empty() && info.st_size != static_cast<off_t>(sizeof(SharedBlock))) {
        why = "not a block of this program";
    }
    if (why.empty()) {
        void* view =
            mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, m_mapping, 0);
        if (view == MAP_FAILED) {
            why = std::strerror(errno);
        } else {
            m_shared = static_cast<SharedBlock*>(view);
        }
    }
    if (!why.empty()) {
        if (m_mapping >= 0) {
            close(m_mapping);
        }
        unlock();
        close(m_mutex);
        sem_close(m_event);
        throw failure("Fehler beim Erzeugen des FileMappings in CSharedMem ctor", mappingName, why);
    }
    if (created) {
        std::memset(m_shared, 0, sizeof(SharedBlock));
    }
    purge_dead_instances();
    const std::int32_t self = static_cast<std::int32_t>(getpid());
    for (int i = 0; i < kMaximumInstances; ++i) {
        if (m_shared->slots[i].pid == 0) {
            m_shared->slots[i] = {self, 0, process_start_time(self)};
            m_slot = i;
            break;
        }
    }
    unlock();
    if (m_slot < 0) {
        // Untracked, it would neither count nor keep the objects alive.
        munmap(m_shared, sizeof(SharedBlock));
        close(m_mapping);
        close(m_mutex);
        sem_close(m_event);
        throw failure("Fehler beim Erzeugen des FileMappings in CSharedMem ctor", mappingName,
                      "every one of its " + std::to_string(kMaximumInstances) + " places is taken");
    }
}

void CSharedMem::open_locked_mutex(const std::string& baseName) {
    const std::string name = object_name(baseName, "^mx");
    for (;;) {
        const int fd = shm_open(name.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            throw failure("Error in MyMutex ctor", name, errno);
        }
        struct stat opened {};
        std::string why;
        if (fstat(fd, &opened) != 0) {
            why = std::strerror(errno);
        } else if (!owned_by_us(opened)) {
            why = "owned by another user";
        }
        if (!why.empty()) {
            close(fd);
            throw failure("Error in MyMutex ctor", name, why);
        }
        m_mutex = fd;
        lock();
        // The last instance removes the objects while it holds the lock; a
        // name opened just before that is no longer the one in use.
        const int current = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        const int openError = errno;
        struct stat named {};
        const bool inUse =
            current >= 0 && fstat(current, &named) == 0 && same_object(opened, named);
        if (current >= 0) {
            close(current);
        }
        if (inUse) {
            return;
        }
        close(fd);  // and with it the lock
        m_mutex = -1;
        // Gone or replaced is worth another try; anything else would repeat for ever.
        if (current < 0 && openError != ENOENT) {
            throw failure("Error in MyMutex ctor", name, openError);
        }
    }
}

CSharedMem::~CSharedMem() {
    lock();
    m_shared->slots[m_slot] = {};
    purge_dead_instances();
    bool anyOpen = false;
    for (const auto& slot : m_shared->slots) {
        anyOpen = anyOpen || slot.pid != 0;
    }
    if (!anyOpen) {
        remove_objects(m_baseName);
    }
    unlock();
    sem_post(m_event);
    munmap(m_shared, sizeof(SharedBlock));
    close(m_mapping);
    close(m_mutex);
    sem_close(m_event);
}

void CSharedMem::lock() const {
    while (flock(m_mutex, LOCK_EX) != 0 && errno == EINTR) {
    }
}

void CSharedMem::unlock() const {
    flock(m_mutex, LOCK_UN);
}

void CSharedMem::purge_dead_instances() const {
    std::int32_t live = 0;
    for (auto& slot : m_shared->slots) {
        if (slot.pid == 0) {
            continue;
        }
        if (process_start_time(slot.pid) != slot.startTime) {
            slot = {};
            continue;
        }
        live += slot.registered != 0 ? 1 : 0;
    }
    m_shared->counter = live;
}

std::int32_t CSharedMem::increment() {
    lock();
    purge_dead_instances();
    if (m_shared->slots[m_slot].registered == 0) {
        m_shared->slots[m_slot].registered = 1;
        m_shared->counter += 1;
    }
    m_instanceNumber = m_shared->counter;
    unlock();
    sem_post(m_event);
    return m_instanceNumber;
}

std::int32_t CSharedMem::count() const {
    lock();
    purge_dead_instances();
    const std::int32_t live = m_shared->counter;
    unlock();
    return live;
}

}  // namespace MapsService
