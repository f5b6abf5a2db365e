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
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace MapsService {

// One slot per registered process. The start time tells a live process from a
// later one that was given the same id.
struct CSharedMem::SharedBlock {
    std::int32_t counter;
    std::int32_t reserved;
    struct Slot {
        std::int32_t pid;
        std::int32_t unused;
        std::uint64_t startTime;
    } slots[kMaximumInstances];
};

namespace {

std::string object_name(const std::string& base, const char* suffix) {
    std::string name = "/" + base + suffix;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (name[i] == '\\' || name[i] == '/') {
            name[i] = '$';
        }
    }
    return name;
}

// The process's start time in clock ticks since boot, 0 when it does not run.
std::uint64_t process_start_time(std::int32_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content)) {
        return 0;
    }
    // The command name may hold blanks and parentheses; fields follow the last ')'.
    const auto close = content.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(content.substr(close + 2));
    std::string field;
    std::string state;
    fields >> state;
    if (state == "Z" || state == "X") {
        return 0;  // exited, only waiting to be reaped
    }
    // Fields after the state: ppid pgrp session tty tpgid flags minflt cminflt majflt
    // cmajflt utime stime cutime cstime priority nice threads itrealvalue starttime.
    for (int i = 0; i < 18 && fields >> field; ++i) {
    }
    std::uint64_t start = 0;
    fields >> start;
    return start;
}

}  // namespace

CSharedMem::CSharedMem(const std::string& baseName) {
    m_event = sem_open(object_name(baseName, "^ev").c_str(), O_CREAT, 0600, 0);
    if (m_event == SEM_FAILED) {
        throw std::runtime_error("Error in MyEvent ctor");
    }

    const std::string mutexName = object_name(baseName, "^mx");
    m_mutex = shm_open(mutexName.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (m_mutex < 0) {
        sem_close(m_event);
        throw std::runtime_error("Error in MyMutex ctor");
    }

    lock();
    const std::string mappingName = object_name(baseName, "^mf");
    m_mapping = shm_open(mappingName.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    struct stat info {};
    bool ok = m_mapping >= 0 && fstat(m_mapping, &info) == 0;
    // A mapping of the wrong size (created by something else) is not ours to trust.
    const bool created = ok && info.st_size == 0;
    if (created) {
        ok = ftruncate(m_mapping, sizeof(SharedBlock)) == 0;
    } else if (ok && info.st_size != static_cast<off_t>(sizeof(SharedBlock))) {
        ok = false;
    }
    if (ok) {
        void* view =
            mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, m_mapping, 0);
        if (view == MAP_FAILED) {
            ok = false;
        } else {
            m_shared = static_cast<SharedBlock*>(view);
        }
    }
    if (!ok) {
        if (m_mapping >= 0) {
            close(m_mapping);
        }
        unlock();
        close(m_mutex);
        sem_close(m_event);
        throw std::runtime_error("Fehler beim Erzeugen des FileMappings in CSharedMem ctor");
    }
    if (created) {
        std::memset(m_shared, 0, sizeof(SharedBlock));
    }
    unlock();
}

CSharedMem::~CSharedMem() {
    lock();
    const std::int32_t self = static_cast<std::int32_t>(getpid());
    for (auto& slot : m_shared->slots) {
        if (m_instanceNumber != 0 && slot.pid == self) {
            slot = {};
            break;
        }
    }
    purge_dead_instances();
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
        ++live;
    }
    m_shared->counter = live;
}

std::int32_t CSharedMem::increment() {
    lock();
    purge_dead_instances();
    const std::int32_t self = static_cast<std::int32_t>(getpid());
    for (auto& slot : m_shared->slots) {
        if (slot.pid == 0) {
            slot.pid = self;
            slot.startTime = process_start_time(self);
            break;
        }
    }
    m_shared->counter += 1;
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
