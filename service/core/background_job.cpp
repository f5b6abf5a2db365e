#include "service/core/background_job.h"

#include <cassert>

#include "service/core/exceptions.h"
#include "service/core/trace.h"

namespace MapsService {

BackgroundJob::BackgroundJob() : m_thread([this] { run(); }) {}

BackgroundJob::~BackgroundJob() {
    if (m_pending) {
        (void)collect();
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundJob::start(std::function<Result()> job) {
    assert(!m_pending);
    m_pending = true;
    {
        std::lock_guard lock(m_mutex);
        m_job = std::move(job);
        m_result.reset();
    }
    m_changed.notify_all();
}

bool BackgroundJob::done() {
    const std::lock_guard lock(m_mutex);
    return m_result.has_value();
}

Result BackgroundJob::collect() {
    assert(m_pending);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_result.has_value(); });
    m_pending = false;
    const Result result = *m_result;
    m_result.reset();
    return result;
}

void BackgroundJob::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_job; });
        if (!m_job) {
            return;
        }
        // Ours now: the caller hands the next job over only after collecting this one.
        std::function<Result()> job = std::move(m_job);
        m_job = nullptr;
        lock.unlock();
        Result result = kResultFailed;
        try {
            result = job();
        } catch (const Exception& e) {
            TraceError("exception in a background job: %s", e.what());
            result = e.code();
        } catch (const std::exception& e) {
            TraceError("exception in a background job: %s", e.what());
        }
        lock.lock();
        m_result = result;
        m_changed.notify_all();
    }
}

}  // namespace MapsService
