#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/protocol/downloader.h"
#include "service/protocol/file_curl_downloader.h"
#include "service/protocol/memory_curl_downloader.h"
#include "tests/protocol/http_test_server.h"
#include "tests/protocol/recording_job.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace std::chrono;
using atlasync::testing::FileSizeLimit;
using atlasync::testing::HttpTestServer;
using atlasync::testing::pattern;
using atlasync::testing::read_file;
using atlasync::testing::RecordingJob;
using atlasync::testing::serve_in_pieces;
using atlasync::testing::TempDir;

namespace {

// Every test starts and ends with the cancel flag clear, and retries quickly.
class Downloaders : public ::testing::Test {
protected:
    void SetUp() override {
        service_cancel_flag().reset();
        set_transfer_limits(TransferLimits{30, seconds(15), {milliseconds(10), milliseconds(20)}});
    }
    void TearDown() override {
        service_cancel_flag().reset();
        set_transfer_limits(TransferLimits());
    }

    Result fetch_file(const std::string& path, const std::wstring& type,
                      RecordingJob* job = nullptr) {
        FileCurlDownloader downloader(server.wide_url(path), job);
        const Result result = downloader.Download(folder.path().wstring(), type);
        received = downloader.bytes_received();
        return result;
    }

    HttpTestServer server{[this](httplib::Server& routes) {
        routes.Get("/files/big.zip", [](const httplib::Request&, httplib::Response& response) {
            serve_in_pieces(response, pattern(120000), "application/zip", 16384, milliseconds(5));
        });
        routes.Get("/files/upper.zip", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("zip bytes", "Application/ZIP");
        });
        routes.Get("/files/param.xml", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<x/>", "application/xml; charset=utf-8");
        });
        routes.Get("/files/missing.zip", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>not found</html>", "text/html");
        });
        routes.Get("/files/full", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(pattern(100000), "application/zip");
        });
        routes.Get("/files/stall.zip",
                   [this](const httplib::Request&, httplib::Response& response) {
                       response.set_chunked_content_provider(
                           "application/zip", [this](std::size_t, httplib::DataSink&) {
                               // Headers are out; the body never comes.
                               server.stall();
                               return false;
                           });
                   });
        routes.Get("/files/app.sis", [](const httplib::Request&, httplib::Response& response) {
            serve_in_pieces(response, pattern(120000), "application/vnd.symbian.install", 16384,
                            milliseconds(5));
        });
    }};
    TempDir folder;
    std::uint64_t received = 0;
};

void drain_messages() {
    Message message;
    while (get_message(message, 1) == kResultOk && message.type != MSG_NOTHING) {
    }
}

std::vector<Message> take_messages(std::size_t count) {
    std::vector<Message> messages;
    Message message;
    while (messages.size() < count && get_message(message, 2000) == kResultOk &&
           message.type != MSG_NOTHING) {
        messages.push_back(message);
    }
    return messages;
}

}  // namespace

TEST_F(Downloaders, FileDownloadReportsProgressEvery51200BytesAndAtTheEnd) {
    RecordingJob job;
    ASSERT_EQ(fetch_file("/files/big.zip", L"application/zip", &job), kResultOk);
    // 16384-byte pieces: 65536 is the first total at least 51200 past 0, then the
    // end (54464 later), then the final report.
    EXPECT_EQ(job.reports, (std::vector<std::uint64_t>{65536, 120000, 120000}));
    EXPECT_EQ(received, 120000u);
    EXPECT_EQ(read_file(folder / "big.zip"), pattern(120000));
    EXPECT_EQ(server.user_agents().at(0), "Mapporter");
}

TEST_F(Downloaders, ContentTypeMatchesIgnoringCaseButNotWithParameters) {
    EXPECT_EQ(fetch_file("/files/upper.zip", L"application/zip"), kResultOk);
    EXPECT_EQ(fetch_file("/files/param.xml", L"application/xml"), kResultServerError);
    // The body stays on disk for the caller to judge.
    EXPECT_EQ(read_file(folder / "param.xml"), "<x/>");
    EXPECT_EQ(fetch_file("/files/param.xml", L""), kResultOk);

    std::vector<std::uint8_t> buffer;
    MemoryCurlDownloader memory(server.wide_url("/files/upper.zip"));
    EXPECT_EQ(memory.Download(buffer, L"APPLICATION/zip"), kResultOk);
    MemoryCurlDownloader wrong(server.wide_url("/files/upper.zip"));
    EXPECT_EQ(wrong.Download(buffer, L"application/x-tlv"), kResultServerError);
    // Bodies are appended, the buffer is not cleared first.
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "zip byteszip bytes");
}

TEST_F(Downloaders, ErrorPagesUnreachableServersAndStalledTransfersGive9) {
    EXPECT_EQ(fetch_file("/files/missing.zip", L"application/zip"), kResultServerError);
    std::vector<std::uint8_t> buffer;
    EXPECT_EQ(MemoryCurlDownloader(server.wide_url("/files/missing.zip")).Download(buffer, L""),
              kResultOk);  // without an expected type any body is accepted

    int closedPort = 0;
    {
        HttpTestServer gone([](httplib::Server&) {});
        closedPort = gone.port();
    }
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/a.zip";
    EXPECT_EQ(FileCurlDownloader(refused, nullptr).Download(folder.path().wstring(), L""),
              kResultServerError);

    // The stall limit ends a transfer that stopped sending (15 s in service).
    set_transfer_limits(TransferLimits{30, seconds(1), {}});
    EXPECT_EQ(fetch_file("/files/stall.zip", L"application/zip"), kResultServerError);
    EXPECT_EQ(MemoryCurlDownloader(server.wide_url("/files/stall.zip")).Download(buffer, L""),
              kResultServerError);
}

TEST_F(Downloaders, TargetsThatCannotBeWrittenGive5) {
    // A URL ending in a slash names no file: the target path is the folder itself.
    EXPECT_EQ(fetch_file("/files/", L""), kResultDiskError);
    EXPECT_TRUE(server.requests().empty());

    // Regression: a failing write (disk full) used to be reported as success.
    FileSizeLimit limit(1000);
    EXPECT_EQ(fetch_file("/files/full", L"application/zip"), kResultDiskError);
}

// A catalog of an https server could lead its archives out of the session,
// and a catalog of any server to a file of this computer.
TEST_F(Downloaders, AnHttpsSessionRefusesPlainHttpAndNoSessionFetchesFiles) {
    const struct {
        bool httpsOnly;
        std::wstring url;
        Result result;
    } cases[] = {
        {false, server.wide_url("/files/param.xml"), kResultOk},
        {true, server.wide_url("/files/param.xml"), kResultServerError},
        {false, L"file://" + (folder.path() / "local.txt").wstring(), kResultServerError},
    };
    atlasync::testing::write_file(folder.path() / "local.txt", "a file of this computer");
    for (const auto& c : cases) {
        set_transport_security({"", c.httpsOnly});
        std::vector<std::uint8_t> buffer;
        EXPECT_EQ(MemoryCurlDownloader(c.url).Download(buffer, L""), c.result);
    }
    set_transport_security({});
}

TEST_F(Downloaders, TargetPathJoinsFolderAndTheUrlsLastPart) {
    EXPECT_EQ(target_file_path(L"/tmp/a", L"http://h/x/y.zip"), "/tmp/a/y.zip");
    EXPECT_EQ(target_file_path(L"/tmp/a/", L"http://h/x\\y.zip"), "/tmp/a/y.zip");
    EXPECT_EQ(target_file_path(L"", L"file.zip"), "file.zip");
    EXPECT_EQ(target_file_path(L"/tmp/a", L"http://h/x/"), "/tmp/a/");
}

TEST_F(Downloaders, CancelEndsAFileDownloadAfterTheCurrentChunkIsWritten) {
    RecordingJob job;
    job.cancelOnProgress = true;
    EXPECT_EQ(fetch_file("/files/big.zip", L"application/zip", &job), kResultCancelled);
    ASSERT_EQ(job.reports.size(), 1u);
    EXPECT_GE(received, job.reports[0]);
    EXPECT_LT(received, 120000u);
    EXPECT_EQ(read_file(folder / "big.zip"), pattern(received));

    // A job that may not go on (its drive went away) ends the transfer the same way.
    service_cancel_flag().reset();
    RecordingJob offline;
    offline.mayContinue = false;
    EXPECT_EQ(fetch_file("/files/big.zip", L"application/zip", &offline), kResultCancelled);
}

TEST_F(Downloaders, CancelEndsStalledTransfers) {
    for (const bool toFile : {true, false}) {
        service_cancel_flag().reset();
        const std::size_t stalledBefore = server.stalled();
        // A memory download heeds only a cancel meant for the running operation.
        const CancellableOperation operation;
        auto transfer = std::async(std::launch::async, [&] {
            if (toFile) {
                return fetch_file("/files/stall.zip", L"application/zip");
            }
            std::vector<std::uint8_t> buffer;
            return MemoryCurlDownloader(server.wide_url("/files/stall.zip"))
                .Download(buffer, L"application/zip");
        });
        // Cancelled once the body has stalled, whatever the machine's load; only
        // the cancel can end it (the stall limit would end it with 9). The stall
        // of the pass before lasts until the server stops.
        while (server.stalled() == stalledBefore &&
               transfer.wait_for(milliseconds(1)) == std::future_status::timeout) {
        }
        service_cancel_flag().set();
        EXPECT_EQ(transfer.get(), kResultCancelled) << toFile;
    }
}

TEST_F(Downloaders, CancelDoesNotInterruptAMemoryDownloadWhileDataFlows) {
    service_cancel_flag().set();
    std::vector<std::uint8_t> buffer;
    MemoryCurlDownloader memory(server.wide_url("/files/big.zip"));
    EXPECT_EQ(memory.Download(buffer, L"application/zip"), kResultOk);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), pattern(120000));
}

TEST_F(Downloaders, DownloaderFilePostsPackageAndItemProgressInOrder) {
    drain_messages();
    DownloaderFile job(server.wide_url("/files/app.sis"), folder.path().wstring(), 0);
    ASSERT_EQ(job.download(), kResultOk);
    EXPECT_EQ(job.bytes_done(), 120000u);
    EXPECT_EQ(read_file(folder / "app.sis"), pattern(120000));

    const std::vector<Message> messages = take_messages(7);
    ASSERT_EQ(messages.size(), 7u);
    const std::vector<std::int32_t> kinds = {PACKAGE_STARTED, ITEM_STARTED,  ITEM_PROGRESS,
                                             ITEM_PROGRESS,   ITEM_PROGRESS, ITEM_FINISHED,
                                             PACKAGE_FINISHED};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].type, MSG_DOWNLOAD_PROGRESS);
        EXPECT_EQ(messages[i].kind, kinds[i]) << i;
    }
    // Without a known total every progress report says 50 percent.
    EXPECT_EQ(messages[2].bytes1, 65536u);
    EXPECT_EQ(messages[2].percent1, 50.0);
    EXPECT_EQ(messages[4].bytes2, 120000u);
    EXPECT_EQ(messages[4].percent2, 50.0);
    EXPECT_EQ(messages[5].result, kResultOk);
    EXPECT_EQ(messages[5].bytes1, 120000u);
    EXPECT_EQ(messages[5].percent1, 100.0);
    EXPECT_EQ(messages[6].bytes2, 120000u);
}

TEST_F(Downloaders, DownloaderFileWithAKnownTotalCapsPercentagesAndReportsFailures) {
    drain_messages();
    DownloaderFile job(server.wide_url("/files/app.sis"), folder.path().wstring(), 100000);
    ASSERT_EQ(job.download(), kResultOk);
    const std::vector<Message> messages = take_messages(7);
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_DOUBLE_EQ(messages[2].percent1, 65.536);
    EXPECT_EQ(messages[3].percent1, 100.0);

    // An installer served with another type fails with 9 and counts no bytes.
    DownloaderFile wrong(server.wide_url("/files/upper.zip"), folder.path().wstring(), 0);
    EXPECT_EQ(wrong.download(), kResultServerError);
    const std::vector<Message> failed = take_messages(5);
    ASSERT_EQ(failed.size(), 5u);
    EXPECT_EQ(failed[3].kind, ITEM_FINISHED);
    EXPECT_EQ(failed[3].result, kResultServerError);
    EXPECT_EQ(failed[3].bytes1, 0u);
    EXPECT_EQ(failed[4].kind, PACKAGE_FINISHED);
    EXPECT_EQ(failed[4].result, kResultServerError);
}
