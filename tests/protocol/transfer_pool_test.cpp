#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mapserver/faults.h"
#include "service/core/sync.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/file_curl_downloader.h"
#include "service/protocol/transfer_pool.h"
#include "tests/mapserver/served_content.h"
#include "tests/protocol/http_test_server.h"
#include "tests/protocol/recording_job.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace std::chrono;
using atlasync::testing::HttpTestServer;
using atlasync::testing::pattern;
using atlasync::testing::read_file;
using atlasync::testing::ServedContent;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

constexpr std::size_t kFiles = 6;

std::string body_of(std::size_t file) {
    return std::to_string(file) + pattern(200000 + file * 1000);
}

// Runs the pool until the transfer ends; its result.
Result run_until_ended(TransferPool& pool, FileCurlDownloader& transfer) {
    for (;;) {
        for (const auto& ended : pool.run(milliseconds(100))) {
            if (ended.transfer == &transfer) {
                return ended.result;
            }
        }
    }
}

}  // namespace

TEST(TransferPool, RunsTransfersAtOnceOnConnectionsKeptAlive) {
    ServedContent served([](const std::filesystem::path& dir) {
        write_file(dir / "manifest.txt", "");
        for (std::size_t file = 0; file < kFiles; ++file) {
            write_file(dir / ("files/f" + std::to_string(file)), body_of(file));
        }
    });
    served.server().faults().add(atlasync::mapserver::parse_fault("/f*=hold,times:3"));
    TempDir folder;
    std::vector<std::unique_ptr<FileCurlDownloader>> transfers;
    TransferPool pool;
    const auto add = [&] {
        const std::string url = served.url("/f" + std::to_string(transfers.size()));
        transfers.push_back(
            std::make_unique<FileCurlDownloader>(std::wstring(url.begin(), url.end()), nullptr));
        ASSERT_EQ(transfers.back()->open(folder.path().wstring(), L""), kResultOk);
        pool.add(*transfers.back());
    };
    for (int i = 0; i < 3; ++i) {
        add();
    }
    // The three are asked for together: the server holds all of them at once.
    while (served.server().faults().held() < 3) {
        EXPECT_TRUE(pool.run(milliseconds(20)).empty());
    }
    served.server().faults().release_held();
    std::size_t ended = 0;
    while (ended < kFiles) {
        for (const auto& end : pool.run(milliseconds(100))) {
            EXPECT_EQ(end.result, kResultOk);
            ++ended;
            if (transfers.size() < kFiles) {
                add();
            }
        }
    }
    EXPECT_EQ(pool.size(), 0u);
    for (std::size_t file = 0; file < kFiles; ++file) {
        EXPECT_EQ(read_file(folder / ("f" + std::to_string(file))), body_of(file)) << file;
    }
    // Six answers over the three connections of the first three.
    // (the three held have a line more each, when their hold began)
    ASSERT_EQ(served.requests_to("/f", kFiles + 3), kFiles + 3);
    std::set<std::string> clients;
    for (const std::string& line : served.log()) {
        const auto begin = line.find(' ') + 1;
        clients.insert(line.substr(begin, line.find(' ', begin) - begin));
    }
    EXPECT_EQ(clients.size(), 3u) << ::testing::PrintToString(clients);
}

TEST(TransferPool, ACancelEndsATransferPausedBeforeItsRetry) {
    int closedPort = 0;
    {
        HttpTestServer gone([](httplib::Server&) {});
        closedPort = gone.port();
    }
    set_transfer_limits({30, seconds(15), {seconds(30)}});
    const CancellableOperation operation;
    TempDir folder;
    FileCurlDownloader refused(L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/a.zip",
                               nullptr);
    ASSERT_EQ(refused.open(folder.path().wstring(), L""), kResultOk);
    TransferPool pool;
    pool.add(refused);
    // The refused connection ends the first attempt at once; the retry waits 30 s.
    while (pool.paused() == 0) {
        EXPECT_TRUE(pool.run(milliseconds(20)).empty());
    }
    service_cancel_flag().set();
    EXPECT_EQ(run_until_ended(pool, refused), kResultCancelled);
    set_transfer_limits({});
}

TEST(TransferPool, ATransferThatEndsAsTheRunBeginsIsAnsweredWithoutWaitingOnTheNetwork) {
    const std::string body = pattern(1000);
    ServedContent served([&](const std::filesystem::path& dir) {
        write_file(dir / "manifest.txt", "");
        write_file(dir / "files/last", body);
    });
    served.server().faults().add(atlasync::mapserver::parse_fault("/last=hold,times:1"));
    TempDir folder;
    const std::string url = served.url("/last");
    FileCurlDownloader transfer(std::wstring(url.begin(), url.end()), nullptr);
    ASSERT_EQ(transfer.open(folder.path().wstring(), L""), kResultOk);
    TransferPool pool;
    pool.add(transfer);
    while (served.server().faults().held() < 1) {
        EXPECT_TRUE(pool.run(milliseconds(20)).empty());
    }
    served.server().faults().release_held();
    // The whole answer waits on the socket (logged once sent: the hold's line and
    // the answer's), so the run's first step ends the transfer, and the network
    // has nothing more to say: a poll would sit out its whole wait.
    ASSERT_EQ(served.requests_to("/last", 2), 2u);
    const auto before = steady_clock::now();
    const std::vector<TransferPool::Ended> ended = pool.run(seconds(30));
    EXPECT_LT(steady_clock::now() - before, seconds(5));
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].result, kResultOk);
    EXPECT_EQ(read_file(folder / "last"), body);
}
