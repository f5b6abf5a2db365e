#pragma once

#include <semaphore.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace MapsService {

// Names of the two process-wide requests another program (an installer of the
// connectivity library) raises: release every module's library, load it again.
struct ConnectivityRequestNames {
    std::string release = "/9D14093C-8B2C-49aa-A328-35C1BDB2BC15";
    std::string reload = "/8427ACED-9495-4cb7-A13D-B98012DF6654";
};

enum class ConnectivityRequest { Release, Reload };

// A thread that watches the two requests for one module. Each request is a
// named POSIX semaphore used as a flag: raised while its value is above 0, so
// the watchers of all modules see it; it is lowered once `handle` answers that
// nothing is left to do for it.
class ConnectivityWatcher {
public:
    using Handler = std::function<bool(ConnectivityRequest)>;

    ConnectivityWatcher(const ConnectivityRequestNames& names, Handler handle);
    ~ConnectivityWatcher();
    ConnectivityWatcher(const ConnectivityWatcher&) = delete;
    ConnectivityWatcher& operator=(const ConnectivityWatcher&) = delete;

private:
    void run();
    bool poll(sem_t* request, ConnectivityRequest kind);

    Handler m_handle;
    sem_t* m_release = SEM_FAILED;
    sem_t* m_reload = SEM_FAILED;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;  // guarded by m_mutex
    std::thread m_thread;
};

}  // namespace MapsService
