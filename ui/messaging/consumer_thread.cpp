#include "ui/messaging/consumer_thread.h"

#include <chrono>
#include <cstring>

#include "service/core/trace.h"

namespace atlasync::ui {

CConsumerThread::~CConsumerThread() {
    if (m_started && !m_joined) {
        // The derived class should have stopped it: its hooks are gone now.
        MapsService::TraceError("CConsumerThread destroyed while its thread runs");
        stop();
    }
}

void CConsumerThread::resume() {
    if (m_started) {
        return;
    }
    // Set before the thread exists, so a stop right after resume waits for the
    // items already queued instead of taking a not-yet-started thread for ended.
    mark_running(true);
    const int error = pthread_create(&m_thread, nullptr, &CConsumerThread::thread_entry, this);
    if (error != 0) {
        mark_running(false);
        MapsService::TraceError("CConsumerThread: cannot create thread: %s", std::strerror(error));
        return;
    }
    m_started = true;
}

void* CConsumerThread::thread_entry(void* self) {
    auto* thread = static_cast<CConsumerThread*>(self);
    thread->thread_procedure();
    {
        std::lock_guard lock(thread->m_endMutex);
        thread->m_ended = true;
    }
    thread->m_endedChanged.notify_all();
    return nullptr;
}

bool CConsumerThread::post(Function item) {
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [this] { return !m_accepting || m_items.size() < kCapacity; });
        if (!m_accepting) {
            MapsService::TraceError("CConsumerThread::post after stop: item refused");
            return false;
        }
        m_items.push_back(std::move(item));
    }
    m_wake.notify_one();
    return true;
}

void CConsumerThread::thread_procedure() {
    mark_running(true);
    if (on_start()) {
        while (m_stopRequests.load() == 0) {
            wait_and_run();
        }
        run_remaining_items();
    } else {
        std::lock_guard lock(m_mutex);
        m_accepting = false;
    }
    m_notFull.notify_all();
    on_end();
    mark_running(false);
}

void CConsumerThread::run_remaining_items() {
    for (;;) {
        Function item;
        {
            std::lock_guard lock(m_mutex);
            if (m_items.empty()) {
                m_accepting = false;
                break;
            }
            item = std::move(m_items.front());
            m_items.pop_front();
        }
        m_notFull.notify_one();
        run_item(item);
    }
}

CConsumerThread::WaitOutcome CConsumerThread::wait_for_work(
    std::optional<int> timeoutMilliseconds) {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_stopEvent || !m_items.empty(); };
    if (timeoutMilliseconds) {
        if (!m_wake.wait_for(lock, std::chrono::milliseconds(*timeoutMilliseconds), ready)) {
            return WaitOutcome::TimedOut;
        }
    } else {
        m_wake.wait(lock, ready);
    }
    if (m_stopEvent) {
        m_stopEvent = false;
        return WaitOutcome::Stop;
    }
    return WaitOutcome::Item;
}

bool CConsumerThread::take_item(Function& item) {
    {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) {
            return false;
        }
        item = std::move(m_items.front());
        m_items.pop_front();
    }
    m_notFull.notify_one();
    return true;
}

void CConsumerThread::stop() {
    if (!m_started || m_joined) {
        return;
    }
    m_stopRequests.fetch_add(1);
    {
        std::lock_guard lock(m_mutex);
        m_stopEvent = true;
    }
    m_wake.notify_all();

    const auto step = std::chrono::milliseconds(kStopStepMilliseconds);
    std::unique_lock lock(m_endMutex);
    while (!m_ended) {
        const bool wasRunning = running();
        if (m_endedChanged.wait_for(lock, step, [this] { return m_ended; })) {
            break;
        }
        if (!wasRunning) {
            // Out of its procedure for a whole step and still not ended.
            lock.unlock();
            MapsService::TraceError("CConsumerThread: thread did not end, terminated with %d",
                                    kTerminatedExitCode);
            pthread_cancel(m_thread);
            pthread_join(m_thread, nullptr);
            m_exitCode = kTerminatedExitCode;
            m_joined = true;
            return;
        }
    }
    lock.unlock();
    pthread_join(m_thread, nullptr);
    m_joined = true;
}

void CConsumerThreadStdWait::wait_and_run() {
    switch (wait_for_work(wait_timeout())) {
        case WaitOutcome::Stop:
            return;
        case WaitOutcome::TimedOut:
            on_timeout();
            return;
        case WaitOutcome::Item: {
            Function item;
            if (take_item(item)) {
                run_item(item);
            }
            return;
        }
    }
}

CWorkerThread::~CWorkerThread() {
    stop();
}

void CWorkerThread::run_item(Function& item) {
    // A failing operation must not take the whole program down with it.
    call_guarded(item, "CWorkerThread");
}

}  // namespace atlasync::ui
