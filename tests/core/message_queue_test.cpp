#include "service/core/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>
#include <vector>

using namespace MapsService;
using namespace std::chrono;

TEST(MessageQueue, GetMessageWithTimeOutZeroBlocksUntilAMessageArrives) {
    std::thread producer([] {
        std::this_thread::sleep_for(milliseconds(100));
        OnDownloadProgress(ITEM_STARTED, 0, 5, 0, 0.0, 0, 0.0);
    });
    const auto start = steady_clock::now();
    Message message;
    ASSERT_EQ(get_message(message, 0), kResultOk);
    EXPECT_GE(steady_clock::now() - start, milliseconds(90));
    EXPECT_EQ(message.type, MSG_DOWNLOAD_PROGRESS);
    EXPECT_EQ(message.id, 5);
    producer.join();
}

TEST(MessageQueue, GetMessageTimesOutWithAnEmptyMessage) {
    const auto start = steady_clock::now();
    Message message;
    message.type = MSG_FINISH;
    ASSERT_EQ(get_message(message, 50), kResultOk);
    const auto waited = steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(45));
    EXPECT_LT(waited, milliseconds(2000));
    EXPECT_EQ(message.type, MSG_NOTHING);
    EXPECT_EQ(message.result, 0);
}

TEST(MessageQueue, MessagesFromSeveralThreadsKeepEachThreadsOrder) {
    MessageQueue queue;
    // Ten messages from three threads; the id carries thread * 100 + sequence.
    const int counts[3] = {4, 3, 3};
    std::vector<std::thread> producers;
    for (int t = 0; t < 3; ++t) {
        producers.emplace_back([&queue, t, &counts] {
            for (int i = 0; i < counts[t]; ++i) {
                EXPECT_EQ(queue.push(Message(MSG_DOWNLOAD_PROGRESS, ITEM_PROGRESS, 0, t * 100 + i,
                                             0, 0.0, 0, 0.0)),
                          kResultOk);
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    std::map<int, int> next;
    for (int received = 0; received < 10; ++received) {
        Message message;
        ASSERT_EQ(queue.pop(message, 1000), kResultOk);
        ASSERT_EQ(message.type, MSG_DOWNLOAD_PROGRESS);
        const int thread = message.id / 100;
        EXPECT_EQ(message.id % 100, next[thread]++) << "thread " << thread;
    }
    Message none;
    ASSERT_EQ(queue.pop(none, 10), kResultOk);
    EXPECT_EQ(none.type, MSG_NOTHING);
}

TEST(MessageQueue, FinishBehindProgressIsPoppedLast) {
    OnUnzipProgress(ITEM_PROGRESS, 0, 1, 10, 10.0, 10, 1.0);
    OnDeleteProgress(ITEM_PROGRESS, 0, 20, 20.0);
    OnInstallProgress(ITEM_PROGRESS, 0, 300, 1000, 30.0);
    ASSERT_EQ(post_finish(), kResultOk);
    std::vector<Message> got;
    for (int i = 0; i < 4; ++i) {
        Message message;
        ASSERT_EQ(get_message(message, 1000), kResultOk);
        got.push_back(message);
    }
    EXPECT_EQ(got[0].type, MSG_UNZIP_PROGRESS);
    EXPECT_EQ(got[1].type, MSG_DELETE_PROGRESS);
    EXPECT_EQ(got[1].bytes1, 20u);
    EXPECT_EQ(got[1].percent1, 20.0);
    // Install progress: bytes1 transferred, bytes2 total, percent1 the phone's figure.
    EXPECT_EQ(got[2].type, MSG_INSTALL_PROGRESS);
    EXPECT_EQ(got[2].bytes1, 300u);
    EXPECT_EQ(got[2].bytes2, 1000u);
    EXPECT_EQ(got[2].percent1, 30.0);
    EXPECT_EQ(got[2].percent2, 0.0);
    EXPECT_EQ(got[3].type, MSG_FINISH);
}

TEST(MessageQueue, UnknownTypeIsCarriedUnchanged) {
    MessageQueue queue;
    ASSERT_EQ(queue.push(Message(13)), kResultOk);
    Message message;
    ASSERT_EQ(queue.pop(message, 1000), kResultOk);
    EXPECT_EQ(message.type, 13);
}

TEST(MessageQueue, ProducersFillTheirFields) {
    OnInstallUserActionNeeded();
    OnDriveFound(nullptr);
    Message first;
    Message second;
    ASSERT_EQ(get_message(first, 1000), kResultOk);
    ASSERT_EQ(get_message(second, 1000), kResultOk);
    EXPECT_EQ(first.type, MSG_INSTALL_USER_ACTION_NEEDED);
    EXPECT_EQ(second.type, MSG_DRIVE_FOUND);
    EXPECT_EQ(second.drive, nullptr);
    EXPECT_EQ(second.result, 0);
}
