#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

using atlasync::testing::ChildProcess;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

int listening_port(ChildProcess& server) {
    const std::string line = server.read_line();
    EXPECT_EQ(line.rfind("listening on ", 0), 0u) << line;
    return line.rfind("listening on ", 0) == 0 ? std::stoi(line.substr(13)) : -1;
}

}  // namespace

TEST(MapServerProcess, AnnouncesItsPortServesAndStopsCleanlyOnEitherSignal) {
    TempDir dir;
    write_file(dir / "manifest.txt", "server-version 1.2.3.4\n");
    write_file(dir / "files" / "x.xml", "<x/>");
    write_file(dir / "files" / "slow.xml", "<slow/>");
    for (const int signal : {SIGTERM, SIGINT}) {
        ChildProcess server(ATLASYNC_MAPSERVER_PATH,
                            {"serve", "--content", dir.path().string(), "--port", "0", "--fault",
                             "/slow.xml=stall-after:0"});
        const int port = listening_port(server);
        ASSERT_GT(port, 0);
        httplib::Client client("127.0.0.1", port);
        const auto response = client.Get("/x.xml");
        ASSERT_TRUE(response);
        EXPECT_EQ(response->body, "<x/>");
        EXPECT_EQ(response->get_header_value("Content-Type"), "application/xml");
        // A stalled answer in progress must not keep the server from stopping.
        httplib::Client stalled("127.0.0.1", port);
        stalled.set_read_timeout(std::chrono::milliseconds(200));
        EXPECT_FALSE(stalled.Get("/slow.xml"));
        server.kill(signal);
        EXPECT_EQ(server.wait(), 0);
    }
}

// A second server on a port in use used to share it silently (the HTTP
// layer's default socket options allow port reuse), splitting clients between two.
TEST(MapServerProcess, BindsTheAskedPortAndRefusesOneInUse) {
    TempDir dir;
    write_file(dir / "manifest.txt", "");
    ChildProcess first(ATLASYNC_MAPSERVER_PATH, {"serve", "--content", dir.path().string()});
    const int port = listening_port(first);
    ASSERT_GT(port, 0);
    ChildProcess second(ATLASYNC_MAPSERVER_PATH, {"serve", "--content", dir.path().string(),
                                                  "--port", std::to_string(port)});
    const std::string announced = second.read_line();
    if (!announced.empty()) {
        second.kill(SIGTERM);  // it serves: stop it so the test fails rather than hangs
    }
    EXPECT_EQ(announced, "");
    EXPECT_EQ(second.wait(), 1);
    first.kill(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
}
