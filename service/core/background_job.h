#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "service/core/result_codes.h"

namespace MapsService {

// Runs one job at a time on a thread of its own, so that a slow step (a
// download) overlaps what the caller does meanwhile. The job goes over and its
// result comes back through one slot each; the caller's objects that the job
// touches must be left alone until collect() returns.
class BackgroundJob {
public:
    BackgroundJob();
    // Waits for a running job, then ends the thread.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Hands a job over; the one before must have been collected.
    void start(std::function<Result()> job);
    // Whether a job was started and not yet collected.
    bool pending() const { return m_pending; }
    // Whether collect() would answer at once: the job started last has ended.
    bool done();
    // Waits for the job started last and answers its result; an exception the
    // job let out answers as its code, 1 when it has none.
    [[nodiscard]] Result collect();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<Result()> m_job;   // handed over, not yet taken by the thread
    std::optional<Result> m_result;  // of the job the thread finished
    bool m_stopping = false;
    bool m_pending = false;  // the caller's own view: started and not collected
    std::thread m_thread;    // last: starts once everything above is ready
};

}  // namespace MapsService
