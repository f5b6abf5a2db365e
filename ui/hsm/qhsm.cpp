#include "ui/hsm/qhsm.h"

#include <atomic>
#include <cstdlib>

#include "service/core/trace.h"

namespace atlasync::ui {

namespace {

// The one constant event per reserved signal that the engine sends to states.
constexpr HsmEvent kReservedEvents[] = {
    {SignalEmpty, 0},
    {SignalInit, 0},
    {SignalEntry, 0},
    {SignalExit, 0},
};

// The list of states to enter holds at most this many besides its end marker.
constexpr int kMaxEntryPath = 6;

std::atomic<bool> g_traceEnabled{true};

[[noreturn]] void nesting_too_deep() {
    // Going on would write past the fixed path buffers; a machine this deep is a
    // programming error that must not corrupt memory.
    MapsService::TraceError("QHsm: state nesting exceeds the engine's limit");
    std::abort();
}

}  // namespace

// Collects the handled actions of a first static run. Actions beyond the
// record's capacity leave the record unfilled, so later runs compute the path
// again instead of replaying a truncated one.
class QHsm::Recorder {
public:
    explicit Recorder(TransitionRecord* record) : m_record(record) {}

    void handled(StateHandler state, std::uint16_t signal) {
        if (m_record == nullptr) {
            return;
        }
        if (m_count >= TransitionRecord::kSlots - 1) {
            m_overflow = true;
            return;
        }
        m_states[m_count] = state;
        m_actions |= static_cast<std::uint16_t>(signal << (2 * m_count));
        ++m_count;
    }

    void finish(StateHandler leaf) {
        if (m_record == nullptr || m_overflow) {
            return;
        }
        for (int i = 0; i < m_count; ++i) {
            m_record->states[i] = m_states[i];
        }
        m_record->states[m_count] = leaf;
        m_record->actions = static_cast<std::uint16_t>((m_actions << 1) | 1u);
    }

private:
    TransitionRecord* m_record;
    StateHandler m_states[TransitionRecord::kSlots] = {};
    std::uint16_t m_actions = 0;
    int m_count = 0;
    bool m_overflow = false;
};

QHsm::QHsm(StateHandler initialPseudoState) : m_state(&QHsm::Top), m_source(initialPseudoState) {}

QState QHsm::Top(const HsmEvent& /*event*/) {
    return Handled();
}

QState QHsm::trigger(StateHandler s, std::uint16_t signal) {
    if (signal == SignalEntry || signal == SignalExit) {
        if (const char* name = state_name(s)) {
            signal == SignalEntry ? TraceEnter(name) : TraceExit(name);
        }
    }
    return (this->*s)(kReservedEvents[signal]);
}

bool QHsm::acted_on(StateHandler s, std::uint16_t signal) {
    // A named state's entry and exit are replayed for their trace lines too.
    return trigger(s, signal).handled() || state_name(s) != nullptr;
}

void QHsm::Initialize(const HsmEvent& event) {
    (this->*m_source)(event);
    StateHandler s = m_state;
    trigger(s, SignalEntry);
    while (trigger(s, SignalInit).handled() && m_state != s) {
        s = m_state;
        trigger(s, SignalEntry);
    }
}

void QHsm::Dispatch(const HsmEvent& event) {
    m_source = m_state;
    while (m_source != nullptr) {
        m_source = (this->*m_source)(event).handler;
    }
}

bool QHsm::is_in(StateHandler target) {
    for (StateHandler s = m_state; s != nullptr; s = parent_of(s)) {
        if (s == target) {
            return true;
        }
    }
    return false;
}

void QHsm::exit_up_to_source() {
    StateHandler s = m_state;
    while (s != m_source) {
        const QState answer = trigger(s, SignalExit);
        s = answer.handled() ? parent_of(s) : answer.handler;
    }
}

void QHsm::TransitionStatic(TransitionRecord& record, StateHandler target) {
    exit_up_to_source();
    if (record.actions == 0) {
        Recorder recorder(&record);
        transition(target, recorder);
        return;
    }
    const StateHandler* slot = record.states;
    for (auto actions = static_cast<std::uint16_t>(record.actions >> 1); actions != 0;
         actions = static_cast<std::uint16_t>(actions >> 2)) {
        trigger(*slot, static_cast<std::uint16_t>(actions & 3u));
        ++slot;
    }
    m_state = *slot;
}

void QHsm::TransitionDynamic(StateHandler target) {
    exit_up_to_source();
    Recorder recorder(nullptr);
    transition(target, recorder);
}

void QHsm::TransitionFromOutside(StateHandler target) {
    m_source = m_state;
    TransitionDynamic(target);
    m_source = nullptr;
}

void QHsm::transition(StateHandler target, Recorder& recorder) {
    auto exit_state = [&](StateHandler s) {
        if (acted_on(s, SignalExit)) {
            recorder.handled(s, SignalExit);
        }
    };
    // entry[0] is the end marker; the states to enter follow, innermost first.
    StateHandler entry[kMaxEntryPath + 1] = {};
    int top = 0;
    auto push = [&](StateHandler s) {
        if (top == kMaxEntryPath) {
            nesting_too_deep();
        }
        entry[++top] = s;
    };
    // Keeps only the entries below index `found` on the list.
    auto enter_below = [&](int found) { top = found - 1; };
    auto find = [&](StateHandler s) {
        for (int i = top; i > 0; --i) {
            if (entry[i] == s) {
                return i;
            }
        }
        return 0;
    };

    const StateHandler source = m_source;
    push(target);
    [&] {
        if (source == target) {
            exit_state(source);
            return;
        }
        const StateHandler p = parent_of(target);
        if (source == p) {
            return;
        }
        const StateHandler q = parent_of(source);
        if (q == p) {
            exit_state(source);
            return;
        }
        if (q == target) {
            exit_state(source);
            top = 0;
            return;
        }
        push(p);
        for (StateHandler s = parent_of(p); s != nullptr; s = parent_of(s)) {
            if (s == source) {
                return;
            }
            push(s);
        }
        exit_state(source);
        if (const int found = find(q); found != 0) {
            enter_below(found);
            return;
        }
        for (StateHandler s = q; s != nullptr; s = parent_of(s)) {
            if (const int found = find(s); found != 0) {
                enter_below(found);
                return;
            }
            exit_state(s);
        }
    }();

    for (; top > 0; --top) {
        if (acted_on(entry[top], SignalEntry)) {
            recorder.handled(entry[top], SignalEntry);
        }
    }

    m_state = target;
    for (;;) {
        const StateHandler s = m_state;
        if (!trigger(s, SignalInit).handled()) {
            break;
        }
        recorder.handled(s, SignalInit);
        if (m_state == s) {
            break;  // handled without naming a substate: s is the leaf
        }
        if (acted_on(m_state, SignalEntry)) {
            recorder.handled(m_state, SignalEntry);
        }
    }
    recorder.finish(m_state);
}

void QHsm::set_trace_enabled(bool enabled) {
    g_traceEnabled.store(enabled);
}

bool QHsm::trace_enabled() {
    return g_traceEnabled.load();
}

void QHsm::TraceEnter(const char* name) {
    if (trace_enabled()) {
        MapsService::TraceInfo("Enter %s", name);
    }
}

void QHsm::TraceExit(const char* name) {
    if (trace_enabled()) {
        MapsService::TraceInfo("Exit %s", name);
    }
}

void QHsm::TraceLine(const char* text) {
    if (trace_enabled()) {
        MapsService::TraceInfo("%s", text);
    }
}

}  // namespace atlasync::ui
