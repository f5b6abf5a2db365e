#include "ui/hsm/qhsm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "service/core/trace.h"
#include "tests/support/temp_dir.h"

using namespace atlasync::ui;

namespace {

// Counts allocations made by this thread, so a test can show that a stretch of
// code allocates nothing.
thread_local bool t_counting = false;
thread_local int t_allocations = 0;

}  // namespace

// The replacements pair malloc with free correctly; GCC cannot see that once
// gtest's inlined new and delete meet them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (t_counting) {
        ++t_allocations;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

enum TestSignal : std::uint16_t {
    SIG_SELF = FirstUserSignal,  // S11 transitions to itself
    SIG_TO_S2,                   // S1 leaves for S2
    SIG_TO_S12,                  // S2 and S112 go to S12
    SIG_UNHANDLED,               // nobody handles it
    SIG_TO_S111,                 // S1 goes down to S111, S12 across to S111
    SIG_TO_S112,                 // S111 to its sibling
    SIG_JUMP,                    // S12 moves the current state without a transition
    SIG_DYNAMIC,                 // S1 to the state named in m_dynamicTarget
};

// Top
//  +- S1 (init S11)
//  |   +- S11 (init S111)
//  |   |   +- S111
//  |   |   +- S112
//  |   +- S12
//  +- S2 (leaves its exit unhandled)
class TestMachine : public QHsm {
public:
    TestMachine() : QHsm(state(&TestMachine::Initial)) { log.reserve(256); }

    void send(std::uint16_t signal) { Dispatch(HsmEvent{signal, 0}); }
    // Returns the actions recorded since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(log);
        log.reserve(256);
        return out;
    }

    std::vector<std::string> log;
    int s2ExitRequests = 0;
    StateHandler dynamicTarget = nullptr;

    QState Initial(const HsmEvent&) {
        InitialTransition(&TestMachine::S1);
        return Handled();
    }

    QState S1(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return note("S1", e);
            case SignalInit:
                InitialTransition(&TestMachine::S11);
                return note("S1", e);
            case SIG_TO_S2: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S2);
                return Handled();
            }
            case SIG_TO_S111: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S111);
                return Handled();
            }
            case SIG_DYNAMIC:
                TransitionDynamic(dynamicTarget);
                return Handled();
        }
        return Parent(&TestMachine::Top);
    }

    QState S11(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return note("S11", e);
            case SignalInit:
                InitialTransition(&TestMachine::S111);
                return note("S11", e);
            case SIG_SELF: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S11);
                return Handled();
            }
        }
        return Parent(&TestMachine::S1);
    }

    QState S111(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return note("S111", e);
            case SIG_TO_S112: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S112);
                return Handled();
            }
        }
        return Parent(&TestMachine::S11);
    }

    QState S112(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return note("S112", e);
            case SIG_TO_S12: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S12);
                return Handled();
            }
        }
        return Parent(&TestMachine::S11);
    }

    QState S12(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return note("S12", e);
            case SIG_TO_S111: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S111);
                return Handled();
            }
            case SIG_JUMP:
                InitialTransition(&TestMachine::S2);
                return Handled();
        }
        return Parent(&TestMachine::S1);
    }

    QState S2(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
                return note("S2", e);
            case SignalExit:
                ++s2ExitRequests;
                break;  // not handled: passed over
            case SIG_TO_S12: {
                static TransitionRecord record;
                TransitionStatic(record, &TestMachine::S12);
                return Handled();
            }
        }
        return Parent(&TestMachine::Top);
    }

private:
    QState note(const char* name, const HsmEvent& e) {
        static const char* const kActions[] = {"", "init", "entry", "exit"};
        log.push_back(std::string(name) + "-" + kActions[e.signal]);
        return Handled();
    }
};

using Actions = std::vector<std::string>;

class QHsmTest : public ::testing::Test {
public:
    void SetUp() override {
        machine.Initialize(HsmEvent{});
        ASSERT_EQ(machine.take(),
                  (Actions{"S1-entry", "S1-init", "S11-entry", "S11-init", "S111-entry"}));
    }

    void go_to_s12() {
        machine.send(SIG_TO_S2);
        machine.send(SIG_TO_S12);
        machine.take();
        ASSERT_EQ(machine.current_state(), QHsm::state(&TestMachine::S12));
    }

    TestMachine machine;
};

TEST_F(QHsmTest, AnEventNoStateHandlesIsDroppedAtTop) {
    machine.send(SIG_UNHANDLED);
    EXPECT_EQ(machine.take(), Actions{});
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S111));
}

TEST_F(QHsmTest, SelfTransitionExitsAndReentersTheSourceAndDrillsDownAgain) {
    machine.send(SIG_SELF);
    EXPECT_EQ(machine.take(),
              (Actions{"S111-exit", "S11-exit", "S11-entry", "S11-init", "S111-entry"}));
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S111));
}

TEST_F(QHsmTest, ParentTransitionExitsTheNestedLeafInnermostFirst) {
    machine.send(SIG_TO_S2);
    EXPECT_EQ(machine.take(), (Actions{"S111-exit", "S11-exit", "S1-exit", "S2-entry"}));
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S2));
}

TEST_F(QHsmTest, UnhandledExitIsPassedOverAndNotSentOnReplay) {
    machine.send(SIG_TO_S2);
    machine.take();
    machine.send(SIG_TO_S12);
    EXPECT_EQ(machine.take(), (Actions{"S1-entry", "S12-entry"}));
    EXPECT_EQ(machine.s2ExitRequests, 1);

    machine.send(SIG_TO_S2);
    machine.take();
    machine.send(SIG_TO_S12);
    EXPECT_EQ(machine.take(), (Actions{"S1-entry", "S12-entry"}));
    EXPECT_EQ(machine.s2ExitRequests, 1) << "the replayed transition asked S2 again";
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S12));
}

TEST_F(QHsmTest, StaticTransitionsReplayExactlyTheirFirstSequence) {
    struct Case {
        const char* name;
        void (*prepare)(QHsmTest&);
        std::uint16_t signal;
        Actions expected;
    };
    const Case cases[] = {
        {"self",
         [](QHsmTest&) {},
         SIG_SELF,
         {"S111-exit", "S11-exit", "S11-entry", "S11-init", "S111-entry"}},
        {"siblings", [](QHsmTest&) {}, SIG_TO_S112, {"S111-exit", "S112-entry"}},
        {"up two levels and across",
         [](QHsmTest& t) { t.machine.send(SIG_TO_S112); },
         SIG_TO_S12,
         {"S112-exit", "S11-exit", "S12-entry"}},
        {"across and down",
         [](QHsmTest& t) { t.go_to_s12(); },
         SIG_TO_S111,
         {"S12-exit", "S11-entry", "S111-entry"}},
        {"ancestor down to a grandchild",
         [](QHsmTest& t) { t.machine.send(SIG_TO_S112); },
         SIG_TO_S111,
         {"S112-exit", "S11-exit", "S11-entry", "S111-entry"}},
    };
    for (const auto& c : cases) {
        for (int run = 1; run <= 3; ++run) {
            c.prepare(*this);
            machine.take();
            machine.send(c.signal);
            EXPECT_EQ(machine.take(), c.expected) << c.name << ", run " << run;
            // Back to the initial leaf by a dynamic transition.
            machine.dynamicTarget = QHsm::state(&TestMachine::S1);
            machine.send(SIG_DYNAMIC);
            machine.take();
            ASSERT_EQ(machine.current_state(), QHsm::state(&TestMachine::S111)) << c.name;
        }
    }
}

TEST_F(QHsmTest, AncestorTransitionEntersFromTheOutermostDown) {
    // S1 handles the signal while S12's handler passes it up.
    go_to_s12();
    machine.dynamicTarget = QHsm::state(&TestMachine::S112);
    machine.send(SIG_DYNAMIC);
    EXPECT_EQ(machine.take(), (Actions{"S12-exit", "S11-entry", "S112-entry"}));
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S112));
}

TEST_F(QHsmTest, DynamicTransitionToTheSourceReentersIt) {
    machine.dynamicTarget = QHsm::state(&TestMachine::S1);
    for (int run = 0; run < 2; ++run) {
        machine.send(SIG_DYNAMIC);
        EXPECT_EQ(machine.take(), (Actions{"S111-exit", "S11-exit", "S1-exit", "S1-entry",
                                           "S1-init", "S11-entry", "S11-init", "S111-entry"}));
    }
}

TEST_F(QHsmTest, InitialTransitionOutsideInitOnlyMovesTheCurrentState) {
    go_to_s12();
    machine.send(SIG_JUMP);
    EXPECT_EQ(machine.take(), Actions{});
    EXPECT_EQ(machine.current_state(), QHsm::state(&TestMachine::S2));
    EXPECT_TRUE(machine.is_in(QHsm::state(&TestMachine::S2)));
    EXPECT_FALSE(machine.is_in(QHsm::state(&TestMachine::S1)));
}

TEST_F(QHsmTest, DispatchAllocatesNothing) {
    // Fill every record first; the log itself has room reserved.
    machine.send(SIG_TO_S2);
    machine.send(SIG_TO_S12);
    machine.send(SIG_TO_S111);
    machine.send(SIG_SELF);
    machine.take();
    machine.dynamicTarget = QHsm::state(&TestMachine::S12);
    t_allocations = 0;
    t_counting = true;
    machine.send(SIG_UNHANDLED);
    machine.send(SIG_TO_S2);
    machine.send(SIG_TO_S12);
    machine.send(SIG_TO_S111);
    machine.send(SIG_SELF);
    machine.send(SIG_DYNAMIC);
    t_counting = false;
    EXPECT_EQ(t_allocations, 0);
    EXPECT_EQ(machine.take().size(), 17u);  // 4 + 2 + 3 + 5 + 3 actions
}

// Top +- A, B: both named, B leaves its exit unhandled. Its own handlers, so
// that its transition records are its own.
class NamedMachine : public QHsm {
public:
    NamedMachine() : QHsm(state(&NamedMachine::Initial)) {}
    void send(std::uint16_t signal) { Dispatch(HsmEvent{signal, 0}); }

private:
    const char* state_name(StateHandler s) const override {
        if (s == state(&NamedMachine::A)) {
            return "A";
        }
        return s == state(&NamedMachine::B) ? "B" : nullptr;
    }
    QState Initial(const HsmEvent&) {
        InitialTransition(&NamedMachine::A);
        return Handled();
    }
    QState A(const HsmEvent& e) {
        switch (e.signal) {
            case SignalEntry:
            case SignalExit:
                return Handled();
            case SIG_TO_S2: {
                static TransitionRecord record;
                TransitionStatic(record, &NamedMachine::B);
                return Handled();
            }
        }
        return Parent(&NamedMachine::Top);
    }
    QState B(const HsmEvent& e) {
        if (e.signal == SIG_TO_S12) {
            static TransitionRecord record;
            TransitionStatic(record, &NamedMachine::A);
            return Handled();
        }
        return Parent(&NamedMachine::Top);
    }
};

TEST(QHsmTrace, NamedStatesAreTracedOnEveryEntryAndExitWhileTheSwitchIsOn) {
    atlasync::testing::TempDir dir;
    atlasync::testing::write_file(
        dir / "msapi.ini", "logfile=\"" + (dir / "trace.log").string() + "\"\ntracelevel=4\n");
    {
        atlasync::testing::ScopedWorkingDirectory cwd(dir.path());
        MapsService::close_tracer();
        NamedMachine machine;
        machine.Initialize(HsmEvent{});
        for (int round = 0; round < 2; ++round) {  // computed, then replayed
            machine.send(SIG_TO_S2);
            machine.send(SIG_TO_S12);
        }
        QHsm::set_trace_enabled(false);
        machine.send(SIG_TO_S2);
        QHsm::set_trace_enabled(true);
        MapsService::close_tracer();
    }
    std::istringstream log(atlasync::testing::read_file(dir / "trace.log"));
    std::vector<std::string> messages;
    for (std::string line; std::getline(log, line);) {
        const auto close = line.find(']');
        messages.push_back(line.substr(line.find_first_not_of(' ', close + 1)));
    }
    const std::vector<std::string> round{"Exit A", "Enter B", "Exit B", "Enter A"};
    std::vector<std::string> expected{"Enter A"};
    expected.insert(expected.end(), round.begin(), round.end());
    expected.insert(expected.end(), round.begin(), round.end());
    EXPECT_EQ(messages, expected);
}

}  // namespace
