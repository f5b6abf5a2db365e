#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "service/protocol/catalog_writer.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/package_query.h"
#include "service/protocol/tlv_tags.h"
#include "tests/mapserver/served_content.h"

using atlasync::testing::ServedContent;
using atlasync::testing::write_file;
namespace fs = std::filesystem;

namespace {

std::string pattern_bytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

const std::string kBlob = pattern_bytes(300000);

void fill(const fs::path& dir) {
    write_file(dir / "catalog.txt", "record 1 0 One\nFile={root}/maps/a.zip\n");
    write_file(dir / "manifest.txt", "package one catalog.txt encoding=hex\n");
    for (const char* name : {"a.zip", "b.CDT", "c.xml", "d.sis", "e.bin"}) {
        write_file(dir / "files" / "maps" / name, kBlob);
    }
    write_file(dir / "secret.txt", "not for clients");
}

std::string package_query(const std::string& name) {
    std::wstring url;
    EXPECT_TRUE(MapsService::encode_url_request(url, "", {name, "", "", ""}, 0, 500));
    return std::string(url.begin(), url.end());  // "/pg?..."
}

}  // namespace

TEST(MapServerFiles, DownloadsCarryTheContentTypeOfTheirExtension) {
    ServedContent served(fill);
    httplib::Client client("127.0.0.1", served.port());
    const std::pair<const char*, const char*> cases[] = {
        {"/maps/a.zip", "application/zip"},
        {"/maps/b.CDT", "image/x-coreldrawtemplate"},
        {"/maps/c.xml", "application/xml"},
        {"/maps/d.sis", "application/vnd.symbian.install"},
        {"/maps/e.bin", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases) {
        const auto response = client.Get(path);
        ASSERT_TRUE(response) << path;
        EXPECT_EQ(response->status, 200) << path;
        EXPECT_EQ(response->get_header_value("Content-Type"), type) << path;
        EXPECT_EQ(response->body, kBlob) << path;
    }
    for (const char* missing : {"/maps/none.zip", "/maps", "/", "/../secret.txt",
                                "/%2e%2e/secret.txt", "/maps/..%2F..%2Fsecret.txt"}) {
        const auto response = client.Get(missing);
        ASSERT_TRUE(response) << missing;
        EXPECT_NE(response->status, 200) << missing;
        EXPECT_EQ(response->body.find("not for clients"), std::string::npos) << missing;
    }
}

TEST(MapServerFiles, RangeRequestsAnswerExactlyTheBytesAskedFor) {
    ServedContent served(fill);
    httplib::Client client("127.0.0.1", served.port());
    const auto get = [&](const std::string& range) {
        auto response = client.Get("/maps/a.zip", {{"Range", range}});
        EXPECT_TRUE(response) << range;
        return response;
    };
    const std::string size = std::to_string(kBlob.size());

    auto middle = get("bytes=1000-1999");
    EXPECT_EQ(middle->status, 206);
    EXPECT_EQ(middle->body, kBlob.substr(1000, 1000));
    EXPECT_EQ(middle->get_header_value("Content-Range"), "bytes 1000-1999/" + size);

    auto open = get("bytes=299990-");
    EXPECT_EQ(open->status, 206);
    EXPECT_EQ(open->body, kBlob.substr(299990));

    auto suffix = get("bytes=-5");
    EXPECT_EQ(suffix->status, 206);
    EXPECT_EQ(suffix->body, kBlob.substr(kBlob.size() - 5));

    auto beyondEnd = get("bytes=299000-999999");  // clipped to the end
    EXPECT_EQ(beyondEnd->status, 206);
    EXPECT_EQ(beyondEnd->body, kBlob.substr(299000));
    EXPECT_EQ(beyondEnd->get_header_value("Content-Range"),
              "bytes 299000-" + std::to_string(kBlob.size() - 1) + "/" + size);

    auto outside = get("bytes=" + size + "-");
    EXPECT_EQ(outside->status, 416);
    EXPECT_EQ(outside->get_header_value("Content-Range"), "bytes */" + size);

    auto several = get("bytes=0-9,20-29");  // answered whole, as HTTP allows
    EXPECT_EQ(several->status, 200);
    EXPECT_EQ(several->body, kBlob);
}

TEST(MapServerRobustness, MalformedAndTruncatedQueriesGet400AndTheServerKeepsServing) {
    ServedContent served(fill);
    httplib::Client client("127.0.0.1", served.port());
    const std::string valid = package_query("one");
    const std::string hex = valid.substr(valid.find('?') + 1);
    std::vector<std::string> targets = {"/pg",        "/pg?",   "/pg?xyz",
                                        "/pg?%00%01", "/vt?0",  "/vt?" + hex,
                                        "/ct?000000", "/qb?zz", "/pg?" + std::string(6000, 'F')};
    // Every cut of a real request: whole items missing, or one cut in half.
    for (std::size_t cut = 0; cut < hex.size(); ++cut) {
        targets.push_back("/pg?" + hex.substr(0, cut));
    }
    // Random bytes as hex text: well-formed text, nonsense items.
    std::mt19937 random(5);
    for (int i = 0; i < 200; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 64);
        for (int j = 0; j < length; ++j) {
            text += "0123456789ABCDEF"[random() % 16];
        }
        targets.push_back("/pg?" + text);
    }
    for (const auto& target : targets) {
        const auto response = client.Get(target);
        ASSERT_TRUE(response) << "no answer to " << target;
        if (response->status == 200) {
            // Only a cut that still holds every item the request needs may pass.
            EXPECT_EQ(target.rfind("/pg?" + hex.substr(0, 20), 0), 0u) << target;
        } else {
            EXPECT_EQ(response->status, 400) << target;
            EXPECT_EQ(response->get_header_value("Content-Type"), "text/plain") << target;
            EXPECT_FALSE(response->body.empty()) << target;
        }
    }
    const auto after = client.Get(valid);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_EQ(after->get_header_value("Content-Type"), "application/x-tlv");
}

TEST(MapServerFaults, StatusFaultAnswersAnHtmlPageAndRetiresAfterItsCount) {
    ServedContent served(fill);
    served.server().faults().add(atlasync::mapserver::parse_fault("/maps/*=status:503,times:1"));
    httplib::Client client("127.0.0.1", served.port());
    const auto failed = client.Get("/maps/a.zip");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 503);
    EXPECT_EQ(failed->get_header_value("Content-Type"), "text/html");
    EXPECT_NE(failed->body.find("<h1>503 Service Unavailable</h1>"), std::string::npos);
    const auto retried = client.Get("/maps/a.zip");
    ASSERT_TRUE(retried);
    EXPECT_EQ(retried->status, 200);
    EXPECT_EQ(retried->body, kBlob);
}

TEST(MapServerFaults, WrongContentTypeAndCutBodiesFailTheClientsDownloads) {
    ServedContent served(fill);
    served.server().faults().add(atlasync::mapserver::parse_fault("/pg=content-type:text/html"));
    served.server().faults().add(atlasync::mapserver::parse_fault("/maps/a.zip=close-after:1000"));
    std::vector<MapsService::ServerRecord> records;
    EXPECT_EQ(MapsService::fetch_package(served.server_url(), MapsService::tlv::kContentType,
                                         {"one", "", "", ""}, records),
              MapsService::kResultServerError);
    EXPECT_TRUE(records.empty());

    httplib::Client client("127.0.0.1", served.port());
    std::string received;
    const auto cut = client.Get("/maps/a.zip", [&](const char* data, std::size_t size) {
        received.append(data, size);
        return true;
    });
    EXPECT_FALSE(cut);  // the connection closed before the announced length
    EXPECT_EQ(received, kBlob.substr(0, 1000));

    // Cut every time: the client's retries (quick here) end with 9 too.
    MapsService::set_transfer_limits(
        {30, std::chrono::seconds(15), {std::chrono::milliseconds(1)}});
    std::vector<std::uint8_t> body;
    const std::string url = served.url("/maps/a.zip");
    EXPECT_EQ(MapsService::create_memory_downloader(std::wstring(url.begin(), url.end()))
                  ->Download(body, L"application/zip"),
              MapsService::kResultServerError);
    MapsService::set_transfer_limits({});
}

TEST(MapServerFaults, DelayHoldsTheAnswerAndStallSendsNothingMoreUntilTheServerStops) {
    std::string received;
    std::chrono::milliseconds delayed{};
    {
        ServedContent served(fill);
        served.server().faults().add(atlasync::mapserver::parse_fault("/maps/c.xml=delay:300"));
        served.server().faults().add(
            atlasync::mapserver::parse_fault("/maps/a.zip=stall-after:4096"));
        httplib::Client client("127.0.0.1", served.port());
        const auto start = std::chrono::steady_clock::now();
        const auto slow = client.Get("/maps/c.xml");
        delayed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        ASSERT_TRUE(slow);
        EXPECT_EQ(slow->body, kBlob);

        client.set_read_timeout(std::chrono::milliseconds(500));
        const auto stalled = client.Get("/maps/a.zip", [&](const char* data, std::size_t size) {
            received.append(data, size);
            return true;
        });
        EXPECT_FALSE(stalled);
        // Leaving the scope stops the server while the stalled answer still holds a worker.
    }
    EXPECT_GE(delayed.count(), 300);
    EXPECT_EQ(received, kBlob.substr(0, 4096));
}

TEST(MapServerFaults, AHeldAnswerWaitsForItsReleaseAndAStopEndsTheHoldLeft) {
    auto served = std::make_unique<ServedContent>(fill);
    served->server().faults().add(atlasync::mapserver::parse_fault("/maps/c.xml=hold"));
    const auto fetch_in_background = [port = served->port()](std::string& body) {
        return std::thread([port, &body] {
            httplib::Client client("127.0.0.1", port);
            const auto answer = client.Get("/maps/c.xml");
            body = answer ? std::to_string(answer->status) + ":" + answer->body : "no answer";
        });
    };
    const auto held_now = [&](std::size_t count) {
        // Polls the event itself; the deadline only keeps a broken server from hanging the suite.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (served->server().faults().held() != count &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return served->server().faults().held() == count;
    };

    std::string released;
    std::thread first = fetch_in_background(released);
    ASSERT_TRUE(held_now(1));
    const auto log = served->log();
    ASSERT_EQ(log.size(), 1u);  // the held line, before any answer
    EXPECT_NE(log[0].find(" GET /maps/c.xml held"), std::string::npos) << log[0];
    served->server().faults().release_held();
    first.join();
    EXPECT_EQ(released, "200:" + kBlob);

    std::string stopped;
    std::thread second = fetch_in_background(stopped);
    ASSERT_TRUE(held_now(1));
    served.reset();  // stopping ends the hold: no body of the file
    second.join();
    EXPECT_NE(stopped, "200:" + kBlob);
}

TEST(MapServerFaults, RatePacesWholeBodiesAndRangesAndAStopEndsAPacedAnswer) {
    constexpr double kRate = 1000000;
    std::thread slowClient;
    std::atomic<bool> begun{false};
    std::atomic<bool> ended{false};
    {
        ServedContent served(fill);
        served.server().faults().add(
            atlasync::mapserver::parse_fault("/maps/a.zip=rate:1000000,times:2"));
        served.server().faults().add(atlasync::mapserver::parse_fault("/maps/e.bin=rate:1000"));
        httplib::Client client("127.0.0.1", served.port());
        const auto timed = [&](const httplib::Headers& headers, std::size_t expectedSize) {
            const auto start = std::chrono::steady_clock::now();
            auto response = client.Get("/maps/a.zip", headers);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            // A lower bound only: a loaded machine may take longer, never shorter.
            EXPECT_GE(took.count(), 0.8 * static_cast<double>(expectedSize) / kRate);
            return response;
        };
        const auto whole = timed({}, kBlob.size());
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->status, 200);
        EXPECT_EQ(whole->body, kBlob);
        const auto range = timed({{"Range", "bytes=100000-"}}, kBlob.size() - 100000);
        ASSERT_TRUE(range);
        EXPECT_EQ(range->status, 206);
        EXPECT_EQ(range->body, kBlob.substr(100000));

        const auto unpaced = client.Get("/maps/a.zip");  // the fault has retired
        ASSERT_TRUE(unpaced);
        EXPECT_EQ(unpaced->body, kBlob);
        ASSERT_EQ(served.requests_to("/maps/a.zip", 3), 3u);
        const auto log = served.log();
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& line) {
                                    return line.find("fault=rate:1000000") != std::string::npos;
                                }),
                  2);

        // 300 KB at 1 KB a second would take five minutes: stopping must not wait for it.
        slowClient = std::thread([&begun, &ended, port = served.port()] {
            httplib::Client slow("127.0.0.1", port);
            EXPECT_FALSE(slow.Get("/maps/e.bin", [&](const char*, std::size_t) {
                begun = true;
                return true;
            }));
            ended = true;
        });
        while (!begun && !ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Leaving the scope stops the server in the middle of the paced answer.
    }
    slowClient.join();
    EXPECT_TRUE(begun);
}

TEST(MapServerFaults, AnswersInParallelShareTheirRulesLink) {
    constexpr double kRate = 1000000;
    ServedContent served(fill);
    served.server().faults().add(atlasync::mapserver::parse_fault("/maps/*=link:1000000"));
    std::string bodies[2];
    const char* paths[2] = {"/maps/a.zip", "/maps/b.CDT"};
    const auto start = std::chrono::steady_clock::now();
    std::thread fetches[2];
    for (int i = 0; i < 2; ++i) {
        fetches[i] = std::thread([&, i] {
            httplib::Client client("127.0.0.1", served.port());
            const auto response = client.Get(paths[i]);
            bodies[i] = response ? response->body : "no answer";
        });
    }
    for (auto& fetch : fetches) {
        fetch.join();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(bodies[0], kBlob);
    EXPECT_EQ(bodies[1], kBlob);
    // Each alone at the rate would take half of this: together they get the rate once.
    // A lower bound only: a loaded machine may take longer, never shorter.
    EXPECT_GE(took.count(), 0.8 * 2 * static_cast<double>(kBlob.size()) / kRate);
    ASSERT_EQ(served.requests_to("/maps/", 2), 2u);
    for (const auto& line : served.log()) {
        EXPECT_NE(line.find("fault=link:1000000"), std::string::npos) << line;
    }
}

// Clients keep a few connections alive across a whole update's downloads.
TEST(MapServerFiles, AKeptAliveConnectionServesManyRequests) {
    ServedContent served(fill);
    httplib::Client client("127.0.0.1", served.port());
    client.set_keep_alive(true);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(client.Get("/maps/c.xml")) << i;
    }
    ASSERT_EQ(served.requests_to("/maps/c.xml", 20), 20u);
    const auto client_of = [](const std::string& line) {
        return line.substr(25, line.find(' ', 25) - 25);
    };
    const auto log = served.log();
    for (const auto& line : log) {
        EXPECT_EQ(client_of(line), client_of(log[0])) << line;
    }
}

TEST(MapServerLog, EveryRequestIsLoggedOnceWithStatusSizeAndFault) {
    ServedContent served(fill);
    served.server().faults().add(atlasync::mapserver::parse_fault("/maps/c.xml=status:500"));
    httplib::Client client("127.0.0.1", served.port());
    ASSERT_TRUE(client.Get("/maps/a.zip"));
    ASSERT_TRUE(client.Get("/maps/c.xml"));
    ASSERT_TRUE(client.Get("/pg?zz"));
    ASSERT_TRUE(client.Get("/maps/a.zip", {{"Range", "bytes=10-19"}}));
    ASSERT_EQ(served.requests_to("/", 4), 4u);
    const auto log = served.log();
    ASSERT_EQ(log.size(), 4u);
    // Lines of different connections may come in either order.
    const auto line_with = [&](const std::string& text) {
        std::string found;
        for (const auto& line : log) {
            if (line.find(text) != std::string::npos) {
                EXPECT_TRUE(found.empty()) << "logged twice: " << text;
                found = line;
            }
        }
        return found;
    };
    EXPECT_NE(line_with(" GET /maps/a.zip 200 300000B "), "");
    EXPECT_NE(line_with(" GET /maps/c.xml 500 ").find("fault=status:500"), std::string::npos);
    EXPECT_NE(line_with(" GET /pg?zz 400 "), "");
    EXPECT_NE(line_with(" GET /maps/a.zip 206 10B "), "");
    EXPECT_EQ(log[0].find("127.0.0.1:"), 25u) << log[0];  // after the time stamp
}
