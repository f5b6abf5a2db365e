#pragma once

#include <QEvent>
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

#include "ui/hsm/qhsm.h"

namespace atlasync::ui {

// A call with its arguments bound by value.
using Function = std::function<void()>;

// Calls the function; an exception is traced with the caller's name and goes
// no further, so one failed call cannot take its thread's loop down.
void call_guarded(const Function& function, const char* caller);

// Runs functions posted from any thread on the thread that created the gate, in
// posting order. An event is posted only while none is waiting, so any number
// of queued calls costs one event; a call that runs an event loop of its own
// does not hold back those behind it.
class CCallGate : public QObject {
public:
    static constexpr int kCallMessage = 1795;
    static QEvent::Type call_event_type() {
        return static_cast<QEvent::Type>(QEvent::User + kCallMessage);
    }

    CCallGate();
    ~CCallGate() override;

    // Any thread. An empty function is refused (traced), never queued.
    void post(Function function);

protected:
    bool event(QEvent* event) override;

private:
    // Runs until the queue is empty; calls posted meanwhile run in the same pass.
    void run_queued();
    // Posts the call event unless one is waiting; under the lock.
    void post_event();

    std::mutex m_mutex;  // guards the two below; functions run outside it
    std::deque<Function> m_queue;
    bool m_eventPosted = false;  // a call event is on its way to event()
};

// The process-wide gate of the user-interface thread, reference-counted: the
// first holder creates it on its own thread, the last one destroys it. The
// application holds it for its whole run; threads that post to it must have
// ended before the last holder lets go.
class CMainThreadCallGate {
public:
    CMainThreadCallGate();
    ~CMainThreadCallGate();
    CMainThreadCallGate(const CMainThreadCallGate&) = delete;
    CMainThreadCallGate& operator=(const CMainThreadCallGate&) = delete;

    // Any thread; false (and traced) when no gate exists, the function then runs never.
    static bool post(Function function);
};

// Any thread: dispatches the signal to the machine later, on the main gate's
// thread, after the dispatch running now has returned. The machine must outlive
// the gate's queue, as the wizard's machine does.
bool post_signal(QHsm& machine, std::uint16_t signal);

}  // namespace atlasync::ui
