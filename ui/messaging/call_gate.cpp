#include "ui/messaging/call_gate.h"

#include <QCoreApplication>
#include <atomic>
#include <exception>

#include "service/core/trace.h"
#include "ui/messaging/thread_sanitizer.h"

namespace atlasync::ui {

void call_guarded(const Function& function, const char* caller) {
    try {
        function();
    } catch (const std::exception& e) {
        MapsService::TraceError("exception in %s: %s", caller, e.what());
    } catch (...) {
        MapsService::TraceError("exception in %s", caller);
    }
}

CCallGate::CCallGate() {
    setObjectName(QStringLiteral("callGate"));
}

CCallGate::~CCallGate() = default;

void CCallGate::post(Function function) {
    if (!function) {
        MapsService::TraceError("CCallGate::post: empty function refused");
        return;
    }
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(function));
    post_event();
}

void CCallGate::post_event() {
    if (m_eventPosted) {
        return;
    }
    m_eventPosted = true;
    auto* call = new QEvent(call_event_type());
    handed_over(call);
    // Qt owns the event once posted.
    QCoreApplication::postEvent(this, call);
}

bool CCallGate::event(QEvent* event) {
    taken_over(event);
    if (event->type() != call_event_type()) {
        return QObject::event(event);
    }
    {
        std::lock_guard lock(m_mutex);
        m_eventPosted = false;
    }
    run_queued();
    return true;
}

void CCallGate::run_queued() {
    for (;;) {
        Function function;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                // The event posted for a loop the calls did not run is not needed.
                if (m_eventPosted) {
                    QCoreApplication::removePostedEvents(this, call_event_type());
                    m_eventPosted = false;
                }
                return;
            }
            function = std::move(m_queue.front());
            m_queue.pop_front();
            // A call may run an event loop of its own (a modal question):
            // the calls behind it, and those posted meanwhile, run in that loop.
            if (!m_queue.empty()) {
                post_event();
            }
        }
        // An exception must not cross the event loop.
        call_guarded(function, "CCallGate");
    }
}

namespace {

std::mutex g_mainGateMutex;  // guards the count and creation/destruction
int g_mainGateHolders = 0;
std::atomic<CCallGate*> g_mainGate{nullptr};

}  // namespace

CMainThreadCallGate::CMainThreadCallGate() {
    std::lock_guard lock(g_mainGateMutex);
    if (g_mainGateHolders++ == 0) {
        g_mainGate.store(new CCallGate());
    }
}

CMainThreadCallGate::~CMainThreadCallGate() {
    std::lock_guard lock(g_mainGateMutex);
    if (--g_mainGateHolders == 0) {
        delete g_mainGate.exchange(nullptr);
    }
}

bool CMainThreadCallGate::post(Function function) {
    CCallGate* gate = g_mainGate.load();
    if (gate == nullptr) {
        MapsService::TraceError("CMainThreadCallGate::post: no call gate");
        return false;
    }
    gate->post(std::move(function));
    return true;
}

bool post_signal(QHsm& machine, std::uint16_t signal) {
    return CMainThreadCallGate::post([&machine, signal] { machine.Dispatch(HsmEvent{signal, 0}); });
}

}  // namespace atlasync::ui
