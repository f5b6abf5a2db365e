#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "ui/messaging/call_gate.h"

namespace atlasync::ui {

// A thread that runs posted items one at a time, oldest first. Its queue holds
// at most 20 items; a poster waits for a free slot rather than dropping work.
// Created suspended: the owner calls resume() once the object is complete, and
// a derived class stops the thread in its own destructor, before its hooks go.
class CConsumerThread {
public:
    static constexpr std::size_t kCapacity = 20;
    static constexpr int kTerminatedExitCode = 777;
    static constexpr int kStopStepMilliseconds = 500;

    virtual ~CConsumerThread();
    CConsumerThread(const CConsumerThread&) = delete;
    CConsumerThread& operator=(const CConsumerThread&) = delete;

    // Starts the thread; a second call does nothing.
    void resume();
    // Any thread but this one. Waits while the queue is full. Returns false (and
    // traces) once a stop has drained the queue: such an item would never run.
    bool post(Function item);
    // Lets the running item and every queued item finish, then ends the thread.
    // A thread that has left its procedure but not ended 500 ms later is
    // cancelled as a last resort, with exit code 777.
    void stop();

    bool running() const { return m_running.load(); }
    // 0 for a thread that ended by itself, 777 for one that had to be cancelled.
    int exit_code() const { return m_exitCode; }

protected:
    enum class WaitOutcome { Stop, Item, TimedOut };

    CConsumerThread() = default;

    virtual bool on_start() { return true; }
    virtual void run_item(Function& item) = 0;
    virtual void on_end() {}
    virtual void on_timeout() {}
    // Waits for work and runs what arrived; the loop calls it until stop is requested.
    virtual void thread_procedure();
    virtual void wait_and_run() = 0;

    // Waits for the stop request or an item (no limit without a time-out). The
    // stop request resets itself when it is reported.
    WaitOutcome wait_for_work(std::optional<int> timeoutMilliseconds);
    // Takes the oldest item and frees its slot; false when the queue is empty.
    bool take_item(Function& item);

private:
    static void* thread_entry(void* self);
    void run_remaining_items();
    void mark_running(bool running) { m_running.store(running); }

    std::mutex m_mutex;  // guards the queue, the stop event and m_accepting
    std::condition_variable m_notFull;
    std::condition_variable m_wake;  // an item arrived or a stop was requested
    std::deque<Function> m_items;
    bool m_stopEvent = false;
    bool m_accepting = true;
    std::atomic<int> m_stopRequests{0};
    std::atomic<bool> m_running{false};

    std::mutex m_endMutex;  // guards m_ended
    std::condition_variable m_endedChanged;
    bool m_ended = false;

    pthread_t m_thread{};
    bool m_started = false;
    bool m_joined = false;
    int m_exitCode = 0;
};

// The standard wait: the stop request or an item, without a time limit.
class CConsumerThreadStdWait : public CConsumerThread {
protected:
    void wait_and_run() override;
    // No limit by default; a derived thread may wake periodically for on_timeout.
    virtual std::optional<int> wait_timeout() const { return std::nullopt; }
};

// Runs the state machine's service operations, one at a time in posting order.
class CWorkerThread final : public CConsumerThreadStdWait {
public:
    CWorkerThread() = default;
    ~CWorkerThread() override;

protected:
    void run_item(Function& item) override;
};

}  // namespace atlasync::ui
