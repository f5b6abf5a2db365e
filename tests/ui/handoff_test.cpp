#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "service/core/message_queue.h"
#include "tests/ui/qt_test_support.h"
#include "ui/messaging/call_gate.h"
#include "ui/messaging/consumer_thread.h"
#include "ui/messaging/maps_message_thread.h"

using namespace atlasync::ui;
using atlasync::testing::process_events_until;
using atlasync::testing::qt_application;
using namespace std::chrono_literals;

namespace {

// Counts the call events a gate receives.
class EventCounter : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == CCallGate::call_event_type()) {
            ++count;
        }
        return false;
    }
    int count = 0;
};

TEST(CallGate, TwoCallsPostedBeforeTheGateRunsRunOnOneEventInOrder) {
    qt_application();
    CCallGate gate;
    EventCounter counter;
    gate.installEventFilter(&counter);
    std::vector<int> ran;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        gate.post([&] {
            ran.push_back(1);
            threads.push_back(std::this_thread::get_id());
        });
        gate.post([&] {
            ran.push_back(2);
            threads.push_back(std::this_thread::get_id());
        });
    });
    poster.join();
    EXPECT_TRUE(ran.empty()) << "gate calls must wait for the gate's thread";
    ASSERT_TRUE(process_events_until([&] { return ran.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(threads, (std::vector<std::thread::id>(2, std::this_thread::get_id())));
}

// A call that runs a loop of its own, as a modal question does, held back the
// calls queued behind it and those posted meanwhile: the wizard froze beneath
// the question.
TEST(CallGate, CallsBehindACallThatRunsItsOwnLoopRunInThatLoopInOrder) {
    qt_application();
    CCallGate gate;
    EventCounter counter;
    gate.installEventFilter(&counter);
    std::vector<int> ran;
    bool ranInside = false;
    gate.post([&] {
        std::thread([&] { gate.post([&] { ran.push_back(3); }); }).join();
        ranInside = process_events_until([&] { return ran.size() == 2; });
        ran.push_back(1);
    });
    gate.post([&] { ran.push_back(2); });
    ASSERT_TRUE(process_events_until([&] { return ran.size() == 3; }));
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(ran, (std::vector<int>{2, 3, 1}));
    // The event posted for the inner loop is not delivered again once it is empty.
    const int events = counter.count;
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.count, events);
}

TEST(CallGate, MainGateRunsCallsFromManyThreadsEachInItsOwnOrder) {
    qt_application();
    CMainThreadCallGate holder;
    std::vector<int> ran;  // touched only on this thread, by the gate's calls
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([t, &ran] {
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(
                    CMainThreadCallGate::post([t, i, &ran] { ran.push_back(t * 100 + i); }));
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    ASSERT_TRUE(process_events_until([&] { return ran.size() == 200; }));
    int next[4] = {0, 0, 0, 0};
    for (const int value : ran) {
        EXPECT_EQ(value % 100, next[value / 100]++) << "thread " << value / 100;
    }
}

// A machine that notes the signals it was given and the thread they came on.
class SignalMachine : public QHsm {
public:
    SignalMachine() : QHsm(state(&SignalMachine::Initial)) { Initialize(HsmEvent{}); }
    QState Initial(const HsmEvent&) {
        InitialTransition(&SignalMachine::Listening);
        return Handled();
    }
    QState Listening(const HsmEvent& e) {
        if (e.signal >= FirstUserSignal) {
            received.push_back(e.signal);
            threads.push_back(std::this_thread::get_id());
            if (e.signal == FirstUserSignal) {
                // Posted from inside a dispatch: delivered after it returns.
                post_signal(*this, FirstUserSignal + 9);
                received.push_back(0);
            }
            return Handled();
        }
        return Parent(&SignalMachine::Top);
    }
    std::vector<int> received;
    std::vector<std::thread::id> threads;
};

TEST(CallGate, PostedSignalsAreDispatchedOnTheGateThreadAfterTheRunningDispatch) {
    qt_application();
    CMainThreadCallGate holder;
    SignalMachine machine;
    std::thread worker([&machine] {
        EXPECT_TRUE(post_signal(machine, FirstUserSignal));
        EXPECT_TRUE(post_signal(machine, FirstUserSignal + 1));
    });
    worker.join();
    ASSERT_TRUE(process_events_until([&] { return machine.received.size() == 4; }));
    EXPECT_EQ(machine.received,
              (std::vector<int>{FirstUserSignal, 0, FirstUserSignal + 1, FirstUserSignal + 9}));
    EXPECT_EQ(machine.threads, (std::vector<std::thread::id>(3, std::this_thread::get_id())));
}

TEST(CallGate, PostingWithoutAMainGateIsRefused) {
    EXPECT_FALSE(CMainThreadCallGate::post([] {}));
}

TEST(WorkerThread, StopRunsEveryQueuedCallFirst) {
    CWorkerThread worker;
    worker.resume();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::mutex mutex;
    std::vector<int> ran;
    worker.post([released] { released.wait(); });
    for (int i = 0; i < 15; ++i) {
        worker.post([i, &mutex, &ran] {
            std::this_thread::sleep_for(1ms);
            std::lock_guard lock(mutex);
            ran.push_back(i);
        });
    }
    std::thread releaser([&release] {
        std::this_thread::sleep_for(50ms);
        release.set_value();
    });
    worker.stop();
    releaser.join();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(worker.exit_code(), 0);
    std::vector<int> expected(15);
    for (int i = 0; i < 15; ++i) {
        expected[i] = i;
    }
    EXPECT_EQ(ran, expected);
    EXPECT_FALSE(worker.post([] {})) << "a stopped worker must refuse work it will never run";
}

TEST(WorkerThread, FullQueueMakesThePosterWaitAndDropsNothing) {
    CWorkerThread worker;
    worker.resume();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> posted{0};
    std::mutex mutex;
    std::vector<int> ran;
    std::promise<void> started;
    worker.post([released, &started] {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();  // the blocker holds no slot from here on
    std::thread poster([&] {
        for (int i = 0; i < 30; ++i) {
            worker.post([i, &mutex, &ran] {
                std::lock_guard lock(mutex);
                ran.push_back(i);
            });
            ++posted;
        }
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(posted.load(), static_cast<int>(CConsumerThread::kCapacity));
    release.set_value();
    poster.join();
    worker.stop();
    std::vector<int> expected(30);
    for (int i = 0; i < 30; ++i) {
        expected[i] = i;
    }
    EXPECT_EQ(ran, expected);
}

TEST(WorkerThread, ExceptionInACallIsContainedAndLaterCallsRun) {
    CWorkerThread worker;
    worker.resume();
    std::atomic<bool> ranAfter{false};
    worker.post([] { throw std::runtime_error("operation failed"); });
    worker.post([&] { ranAfter = true; });
    worker.stop();
    EXPECT_TRUE(ranAfter.load());
}

// A consumer that leaves its procedure but then does not end.
class HangingConsumer final : public CConsumerThreadStdWait {
public:
    ~HangingConsumer() override { stop(); }

protected:
    void run_item(Function& item) override { item(); }
    void thread_procedure() override {
        CConsumerThreadStdWait::thread_procedure();
        for (;;) {
            std::this_thread::sleep_for(10s);
        }
    }
};

TEST(WorkerThread, ThreadThatDoesNotEndAfterItsProcedureIsTerminatedWith777) {
    HangingConsumer consumer;
    consumer.resume();
    std::atomic<bool> ran{false};
    consumer.post([&] { ran = true; });
    const auto start = std::chrono::steady_clock::now();
    consumer.stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(consumer.exit_code(), CConsumerThread::kTerminatedExitCode);
    EXPECT_GE(took, 450ms);
    EXPECT_LT(took, 5s);
}

// Records what the pump delivers, and on which thread.
class Recorder : public CPhoneMsgNfyItem {
public:
    using CPhoneMsgNfyItem::CPhoneMsgNfyItem;
    void on_message(const MapsService::Message& message, std::uint32_t /*tick*/) override {
        types.push_back(message.type);
        ids.push_back(message.id);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<int> types;
    std::vector<int> ids;
    std::vector<std::thread::id> threads;
};

TEST(MessagePump, ForwardsServiceMessagesToTheUserInterfaceThreadInOrderUntilFinish) {
    qt_application();
    CMainThreadCallGate holder;
    CMapsMessageThread pump;
    Recorder first(pump);
    Recorder second(pump);
    pump.start();
    EXPECT_TRUE(pump.running());
    std::thread producer([] {
        for (int id = 1; id <= 30; ++id) {
            MapsService::OnDownloadProgress(MapsService::ITEM_PROGRESS, 0, id, 0, 0.0, 0, 0.0);
        }
    });
    producer.join();
    pump.stop();
    ASSERT_TRUE(process_events_until(
        [&] { return !second.types.empty() && second.types.back() == MapsService::MSG_FINISH; }));
    ASSERT_TRUE(process_events_until([&] { return !pump.running(); }));
    for (const Recorder* recorder : {&first, &second}) {
        ASSERT_EQ(recorder->types.size(), 31u);
        for (int i = 0; i < 30; ++i) {
            EXPECT_EQ(recorder->types[i], MapsService::MSG_DOWNLOAD_PROGRESS);
            EXPECT_EQ(recorder->ids[i], i + 1);
        }
        for (const auto& thread : recorder->threads) {
            EXPECT_EQ(thread, std::this_thread::get_id());
        }
    }
    // Nothing is left behind for the next consumer.
    MapsService::Message left;
    ASSERT_EQ(MapsService::get_message(left, 20), MapsService::kResultOk);
    EXPECT_EQ(left.type, MapsService::MSG_NOTHING);
}

// An operation's result overtook the messages it had sent: the download page
// went to "Complete" before it showed the download's last figures.
TEST(MessagePump, ACallPostedAfterQueuedMessagesRunsOnceTheyAreDelivered) {
    qt_application();
    CMainThreadCallGate holder;
    CMapsMessageThread pump;
    Recorder recorder(pump);
    pump.start();
    std::vector<std::size_t> deliveredBefore;
    std::thread worker([&] {
        for (int id = 1; id <= 200; ++id) {
            MapsService::OnDownloadProgress(MapsService::ITEM_PROGRESS, 0, id, 0, 0.0, 0, 0.0);
        }
        pump.post_after_queued([&] { deliveredBefore.push_back(recorder.types.size()); });
    });
    worker.join();
    pump.stop();
    ASSERT_TRUE(process_events_until([&] { return !pump.running(); }));
    ASSERT_TRUE(process_events_until([&] { return recorder.types.size() == 201; }));
    EXPECT_EQ(deliveredBefore, (std::vector<std::size_t>{200}));
    EXPECT_EQ(recorder.types.back(), MapsService::MSG_FINISH);  // the marker is no message

    // With the pump ended, the call goes to the gate at once.
    pump.post_after_queued([&] { deliveredBefore.push_back(0); });
    ASSERT_TRUE(process_events_until([&] { return deliveredBefore.size() == 2; }));
}

TEST(MessagePump, MessagesStillAtTheGateWhenThePumpGoesAreDropped) {
    qt_application();
    CMainThreadCallGate holder;
    auto pump = std::make_unique<CMapsMessageThread>();
    int delivered = 0;
    struct Counter : CPhoneMsgNfyItem {
        Counter(CMapsMessageThread& p, int& n) : CPhoneMsgNfyItem(p), count(n) {}
        void on_message(const MapsService::Message&, std::uint32_t) override { ++count; }
        int& count;
    };
    auto counter = std::make_unique<Counter>(*pump, delivered);
    pump->start();
    MapsService::OnInstallUserActionNeeded();
    counter.reset();
    pump.reset();  // forwards MSG_FINISH and waits for its thread
    // Both forwarded messages now wait at the gate for a pump that is gone.
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);

    // A new pump over the same queue works as before.
    CMapsMessageThread next;
    Recorder recorder(next);
    next.start();
    MapsService::OnInstallUserActionNeeded();
    next.stop();
    ASSERT_TRUE(process_events_until([&] { return recorder.types.size() == 2; }));
    EXPECT_EQ(recorder.types, (std::vector<int>{MapsService::MSG_INSTALL_USER_ACTION_NEEDED,
                                                MapsService::MSG_FINISH}));
}

}  // namespace
