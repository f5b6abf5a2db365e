#include <benchmark/benchmark.h>

#include "ui/hsm/qhsm.h"

using namespace atlasync::ui;

namespace {

// Three levels below Top, like the wizard: A (init A1), A1 (init A11), A11, A12,
// and B. SIG_STATIC / SIG_DYNAMIC move between A11 and B and back.
class Machine : public QHsm {
public:
    enum : std::uint16_t { SIG_STATIC = FirstUserSignal, SIG_DYNAMIC };

    Machine() : QHsm(state(&Machine::Initial)) {}

    QState Initial(const HsmEvent&) {
        InitialTransition(&Machine::A);
        return Handled();
    }
    QState A(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                ++actions;
                return Handled();
            case SignalInit:
                InitialTransition(&Machine::A1);
                return Handled();
        }
        return Parent(&Machine::Top);
    }
    QState A1(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                ++actions;
                return Handled();
            case SignalInit:
                InitialTransition(&Machine::A11);
                return Handled();
        }
        return Parent(&Machine::A);
    }
    QState A11(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                ++actions;
                return Handled();
            case SIG_STATIC: {
                static TransitionRecord record;
                TransitionStatic(record, &Machine::B);
                return Handled();
            }
            case SIG_DYNAMIC:
                TransitionDynamic(&Machine::B);
                return Handled();
        }
        return Parent(&Machine::A1);
    }
    QState B(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                ++actions;
                return Handled();
            case SIG_STATIC: {
                static TransitionRecord record;
                TransitionStatic(record, &Machine::A);
                return Handled();
            }
            case SIG_DYNAMIC:
                TransitionDynamic(&Machine::A);
                return Handled();
        }
        return Parent(&Machine::Top);
    }

    long actions = 0;
};

void run(benchmark::State& state, std::uint16_t signal) {
    Machine machine;
    machine.Initialize(HsmEvent{});
    const HsmEvent event{signal, 0};
    for (auto _ : state) {
        machine.Dispatch(event);
    }
    benchmark::DoNotOptimize(machine.actions);
    state.SetItemsProcessed(state.iterations());
}

void BM_StaticTransitionReplayed(benchmark::State& state) {
    run(state, Machine::SIG_STATIC);
}
void BM_DynamicTransitionComputed(benchmark::State& state) {
    run(state, Machine::SIG_DYNAMIC);
}

BENCHMARK(BM_StaticTransitionReplayed);
BENCHMARK(BM_DynamicTransitionComputed);

}  // namespace

BENCHMARK_MAIN();
