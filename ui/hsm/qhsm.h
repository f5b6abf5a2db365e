#pragma once

#include <cstdint>

namespace atlasync::ui {

// Events carry no parameters: whatever an event needs travels in fields of the
// machine, written before the event is delivered.
struct HsmEvent {
    std::uint16_t signal = 0;
    std::uint16_t spare = 0;  // always 0
};

enum ReservedSignal : std::uint16_t {
    SignalEmpty = 0,  // asks a state for its parent; no state handles it
    SignalInit = 1,
    SignalEntry = 2,
    SignalExit = 3,
    FirstUserSignal = 4,
};

class QHsm;
struct QState;

// A state is an operation of the machine. It answers an event with "handled"
// (a null state) or with its parent; the answers to SignalEmpty are the only
// description of the hierarchy.
using StateHandler = QState (QHsm::*)(const HsmEvent& event);

struct QState {
    StateHandler handler = nullptr;

    bool handled() const { return handler == nullptr; }
};

// The cache of one fixed transition site; lives as long as the program and
// starts zeroed. Slots hold the states acted on, in order, then the final leaf.
struct TransitionRecord {
    static constexpr int kSlots = 7;
    StateHandler states[kSlots] = {};
    // Two bits per recorded action (the reserved signal sent to the matching
    // slot) above bit 0, which is set once the record has been filled.
    std::uint16_t actions = 0;
};

// The hierarchical state machine engine. Not locked: every call of Initialize
// and Dispatch must come from one thread, and never from inside a Dispatch.
class QHsm {
public:
    virtual ~QHsm() = default;
    QHsm(const QHsm&) = delete;
    QHsm& operator=(const QHsm&) = delete;

    // Enters the initial configuration; called once, before any Dispatch.
    void Initialize(const HsmEvent& event);
    // Delivers one event; allocates nothing.
    void Dispatch(const HsmEvent& event);

    // The outermost state: handles everything, does nothing, has no parent.
    QState Top(const HsmEvent& event);

    StateHandler current_state() const { return m_state; }
    bool is_in(StateHandler s);

    // The trace switch of the user interface: on at start; turned off once the
    // service library has been finalised so nothing is traced into it.
    static void set_trace_enabled(bool enabled);
    static bool trace_enabled();

    // Converts a derived machine's state operation to the engine's handler type.
    template <class Machine>
    static StateHandler state(QState (Machine::*handler)(const HsmEvent&)) {
        return static_cast<StateHandler>(handler);
    }

protected:
    // The initial pseudo-state calls InitialTransition with a direct child of Top
    // and returns Handled().
    explicit QHsm(StateHandler initialPseudoState);

    static QState Handled() { return QState{}; }
    template <class Machine>
    static QState Parent(QState (Machine::*handler)(const HsmEvent&)) {
        return QState{state(handler)};
    }

    // Only inside a state's handling of SignalInit (or the initial pseudo-state):
    // names a direct child as the next state; sends nothing.
    void InitialTransition(StateHandler target) { m_state = target; }
    template <class Machine>
    void InitialTransition(QState (Machine::*target)(const HsmEvent&)) {
        InitialTransition(state(target));
    }

    // A fixed transition from the running state; its path is computed on the
    // first run and replayed from the record afterwards.
    void TransitionStatic(TransitionRecord& record, StateHandler target);
    template <class Machine>
    void TransitionStatic(TransitionRecord& record, QState (Machine::*target)(const HsmEvent&)) {
        TransitionStatic(record, state(target));
    }
    // A transition whose target is known only at run time; computed every time.
    void TransitionDynamic(StateHandler target);
    template <class Machine>
    void TransitionDynamic(QState (Machine::*target)(const HsmEvent&)) {
        TransitionDynamic(state(target));
    }

    // Outside any dispatch: leaves the active configuration for the target as
    // a transition of the active leaf would, exit and entry actions included.
    void TransitionFromOutside(StateHandler target);
    template <class Machine>
    void TransitionFromOutside(QState (Machine::*target)(const HsmEvent&)) {
        TransitionFromOutside(state(target));
    }

    // A state with a name has its entry and exit traced here, "Enter <name>"
    // and "Exit <name>", before its own actions, whether it acts on them or
    // not; null for a state without one. Transition records belong to their
    // call sites: machines sharing handlers must give them the same names.
    virtual const char* state_name(StateHandler /*state*/) const { return nullptr; }

    // One trace line, only while the trace switch is on.
    static void TraceLine(const char* text);

private:
    class Recorder;

    static void TraceEnter(const char* name);
    static void TraceExit(const char* name);

    QState trigger(StateHandler s, std::uint16_t signal);
    // Sends the entry or exit; true when the state handled it or has a name.
    bool acted_on(StateHandler s, std::uint16_t signal);
    StateHandler parent_of(StateHandler s) { return trigger(s, SignalEmpty).handler; }
    void exit_up_to_source();
    void transition(StateHandler target, Recorder& recorder);

    StateHandler m_state;   // the active leaf between events
    StateHandler m_source;  // the running state during a dispatch
};

}  // namespace atlasync::ui
