#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "mapserver/faults.h"
#include "service/core/sync.h"
#include "service/protocol/downloader.h"
#include "service/protocol/file_curl_downloader.h"
#include "service/protocol/md5_digest.h"
#include "service/protocol/memory_curl_downloader.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/tlv_tags.h"
#include "service/protocol/transfer_pool.h"
#include "tests/mapserver/served_content.h"
#include "tests/protocol/http_test_server.h"
#include "tests/protocol/package_server.h"
#include "tests/protocol/recording_job.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace std::chrono;
using atlasync::mapserver::parse_fault;
using atlasync::testing::HttpTestServer;
using atlasync::testing::PackageServer;
using atlasync::testing::pattern;
using atlasync::testing::read_file;
using atlasync::testing::RecordingJob;
using atlasync::testing::ServedContent;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

const std::string kArchive = pattern(300000);

// The reference map server with one archive, and retries after short pauses.
class Retries : public ::testing::Test {
protected:
    void SetUp() override {
        service_cancel_flag().reset();
        set_transfer_limits({30, milliseconds(1500), kPauses});
    }
    void TearDown() override {
        service_cancel_flag().reset();
        set_transfer_limits({});
    }

    void fault(const std::string& rule) { served.server().faults().add(parse_fault(rule)); }
    // Rules separated by ";", applied in order.
    void faults(const std::string& rules) {
        for (std::size_t at = 0; at < rules.size();) {
            const std::size_t end = std::min(rules.find(';', at), rules.size());
            fault(rules.substr(at, end - at));
            at = end + 1;
        }
    }
    // Statuses of the archive's requests once `count` are logged (a line is
    // written just after its answer).
    std::vector<int> statuses(std::size_t count = 0) const {
        (void)served.requests_to("/maps/a.zip", count);
        std::vector<int> found;
        for (const std::string& line : served.log()) {
            const auto at = line.find(" GET /maps/a.zip ");
            if (at != std::string::npos) {
                found.push_back(std::stoi(line.substr(at + 17, 3)));
            }
        }
        return found;
    }
    std::wstring url() const {
        const std::string text = served.url("/maps/a.zip");
        return std::wstring(text.begin(), text.end());
    }
    Result fetch_file(RecordingJob* job = nullptr) {
        FileCurlDownloader downloader(url(), job);
        const Result result = downloader.Download(folder.path().wstring(), L"application/zip");
        checksum = downloader.checksum();
        return result;
    }
    // The file download driven by a transfer pool, as a package's are.
    Result fetch_pooled(RecordingJob* job = nullptr) {
        FileCurlDownloader downloader(url(), job);
        const Result opened = downloader.open(folder.path().wstring(), L"application/zip");
        if (opened != kResultOk) {
            return opened;
        }
        TransferPool pool;
        pool.add(downloader);
        std::vector<TransferPool::Ended> ended;
        while (ended.empty()) {
            ended = pool.run(milliseconds(100));
        }
        EXPECT_EQ(ended.front().transfer, &downloader);
        EXPECT_EQ(pool.size(), 0u);
        checksum = downloader.checksum();
        return ended.front().result;
    }
    Result fetch_memory(std::vector<std::uint8_t>& body) {
        return MemoryCurlDownloader(url()).Download(body, L"application/zip");
    }
    const std::vector<milliseconds> kPauses{milliseconds(50), milliseconds(100), milliseconds(200)};
    ServedContent served{[](const std::filesystem::path& dir) {
        write_file(dir / "manifest.txt", "");
        write_file(dir / "files/maps/a.zip", kArchive);
    }};
    TempDir folder;
    std::string checksum;
};

struct Row {
    const char* faults;       // rules on the archive, ";" between them
    Result result;            // of both downloaders
    std::vector<int> file;    // statuses the file download met
    std::vector<int> memory;  // statuses the memory download met
};

}  // namespace

TEST_F(Retries, PassingFailuresAreTriedThreeMoreTimesAndAFileContinuesWhereItStopped) {
    const Row rows[] = {
        // A dropped connection and a stall: the file continues with a range.
        {"/maps/a.zip=close-after:100000,times:1", kResultOk, {200, 206}, {200, 200}},
        // A stalled answer is logged only when the server stops: not seen here.
        {"/maps/a.zip=stall-after:100000,times:1", kResultOk, {206}, {200}},
        {"/maps/a.zip=status:503,times:3", kResultOk, {503, 503, 503, 200}, {503, 503, 503, 200}},
        // A server without ranges: the file starts again.
        {"/maps/a.zip=close-after:100000,times:1;/maps/a.zip=no-range,times:1",
         kResultOk,
         {200, 200},
         {200, 200}},
        // A fourth failure in a row is final.
        {"/maps/a.zip=status:500,times:8",
         kResultServerError,
         {500, 500, 500, 500},
         {500, 500, 500, 500}},
        // Errors that another attempt cannot mend are not repeated.
        {"/maps/a.zip=status:404,times:2", kResultServerError, {404}, {404}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.faults);
        for (const int mode : {0, 1, 2}) {  // a file, a file in a transfer pool, memory
            const bool toFile = mode < 2;
            served.server().faults().clear();
            faults(row.faults);
            const std::size_t before = statuses().size();
            RecordingJob job;
            std::vector<std::uint8_t> body;
            const Result result = mode == 0   ? fetch_file(&job)
                                  : mode == 1 ? fetch_pooled(&job)
                                              : fetch_memory(body);
            EXPECT_EQ(result, row.result) << toFile;
            const auto& expected = toFile ? row.file : row.memory;
            std::vector<int> met = statuses(before + expected.size());
            met.erase(met.begin(), met.begin() + static_cast<std::ptrdiff_t>(before));
            EXPECT_EQ(met, expected) << toFile;
            if (result != kResultOk) {
                continue;
            }
            if (toFile) {
                EXPECT_EQ(read_file(folder / "a.zip"), kArchive);
                EXPECT_TRUE(std::is_sorted(job.reports.begin(), job.reports.end()));
                EXPECT_EQ(job.reports.back(), kArchive.size());
            } else {
                EXPECT_EQ(std::string(body.begin(), body.end()), kArchive);
            }
        }
    }
}

TEST_F(Retries, TheFileChecksumIsTheMd5OfTheBytesWrittenAcrossRetries) {
    Md5Digest abc;
    abc.update("abc", 3);
    EXPECT_EQ(abc.hex(), "900150983cd24fb0d6963f7d28e17f72");
    Md5Digest whole;
    whole.update(kArchive.data(), kArchive.size());
    for (const char* rules : {"", "/maps/a.zip=close-after:123457,times:1",
                              "/maps/a.zip=close-after:123457,times:1;/maps/a.zip=no-range"}) {
        for (const bool pooled : {false, true}) {
            served.server().faults().clear();
            faults(rules);
            ASSERT_EQ(pooled ? fetch_pooled() : fetch_file(), kResultOk) << rules;
            EXPECT_EQ(checksum, whole.hex()) << rules;
        }
    }
}

TEST_F(Retries, ARefusedConnectionIsRetriedAndACancelEndsThePauseAtOnceWithTwo) {
    int closedPort = 0;
    {
        HttpTestServer gone([](httplib::Server&) {});
        closedPort = gone.port();
    }
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/a.zip";
    const auto started = steady_clock::now();
    std::vector<std::uint8_t> body;
    EXPECT_EQ(MemoryCurlDownloader(refused).Download(body, L""), kResultServerError);
    EXPECT_GE(steady_clock::now() - started, milliseconds(350));  // the three pauses

    set_transfer_limits({30, seconds(15), {seconds(30)}});
    for (const bool toFile : {true, false}) {
        const CancellableOperation operation;
        auto transfer = std::async(std::launch::async, [&] {
            std::vector<std::uint8_t> buffer;
            return toFile
                       ? FileCurlDownloader(refused, nullptr).Download(folder.path().wstring(), L"")
                       : MemoryCurlDownloader(refused).Download(buffer, L"");
        });
        std::this_thread::sleep_for(milliseconds(200));
        service_cancel_flag().set();
        ASSERT_EQ(transfer.wait_for(seconds(10)), std::future_status::ready) << toFile;
        EXPECT_EQ(transfer.get(), kResultCancelled) << toFile;
    }
}

TEST_F(Retries, NoExceptionOfAJobCrossesTheTransferItEndsItWithNine) {
    // Regression: an exception thrown inside libcurl's callbacks ended the process.
    RecordingJob onProgress;
    onProgress.throwOnProgress = true;
    EXPECT_EQ(fetch_file(&onProgress), kResultServerError);
    RecordingJob onAsk;
    onAsk.throwOnAsk = true;
    EXPECT_EQ(fetch_file(&onAsk), kResultServerError);
    EXPECT_LE(statuses(1).size(), 2u);  // neither was tried again
}

TEST_F(Retries, AMemoryDownloadStopsAtItsLimitWithNine) {
    // Regression: a server that never stopped sending grew memory until the process died.
    fault("/maps/a.zip=endless");
    std::vector<std::uint8_t> body{1, 2, 3};
    EXPECT_EQ(fetch_memory(body), kResultServerError);
    EXPECT_EQ(body, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(statuses(1).size(), 1u);
}

TEST_F(Retries, AStaleCancelCutsShortOnlyRequestsOfTheOperationItWasMeantFor) {
    // Regression: a cancel left over from an ended operation failed later version checks.
    // No stall may end an attempt here: only a cancel can.
    set_transfer_limits({30, seconds(60), kPauses});
    // libcurl asks whether to go on at least once a second, so the flag is
    // looked at while the answer is delayed.
    fault("/maps/a.zip=delay:2000,times:1");
    service_cancel_flag().set();
    std::vector<std::uint8_t> body;
    EXPECT_EQ(fetch_memory(body), kResultOk);
    EXPECT_EQ(std::string(body.begin(), body.end()), kArchive);

    service_cancel_flag().set();
    {
        const CancellableOperation operation;  // starts clear: the old cancel is not its own
        EXPECT_FALSE(cancel_requested());
        fault("/maps/a.zip=hold");  // an answer that never comes: only the cancel ends it
        service_cancel_flag().set();
        body.clear();
        EXPECT_EQ(fetch_memory(body), kResultCancelled);
    }
    EXPECT_FALSE(service_cancel_flag().is_set());
}

TEST(CatalogPaging, APageThatRepeatsThePreviousOneEndsTheFetchWithNine) {
    // Regression: a server that ignored the offset kept the client fetching for ever.
    PackageServer server({{"map5", 700}});
    server.set_offset_ignored(true);
    std::vector<ServerRecord> records;
    EXPECT_EQ(
        fetch_package(server.server.wide_url(""), tlv::kContentType, {"map5", "", "", ""}, records),
        kResultServerError);
    EXPECT_EQ(server.requests().size(), 2u);
}
