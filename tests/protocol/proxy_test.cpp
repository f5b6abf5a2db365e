#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "service/core/text.h"
#include "service/protocol/memory_curl_downloader.h"
#include "service/protocol/proxy_lookup.h"
#include "tests/protocol/http_test_server.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using atlasync::testing::ChildProcess;
using atlasync::testing::HttpTestServer;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

int free_loopback_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool accepts_connections(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// Our own tinyproxy on a loopback port, in the foreground, stopped with the test.
class LoopbackProxy {
public:
    LoopbackProxy() : m_port(free_loopback_port()) {
        const std::filesystem::path config = m_dir / "tinyproxy.conf";
        write_file(config, "Port " + std::to_string(m_port) +
                               "\n"
                               "Listen 127.0.0.1\n"
                               "Timeout 30\n"
                               "Allow 127.0.0.1\n"
                               "MaxClients 8\n"
                               "LogLevel Info\n"
                               "LogFile \"" +
                               (m_dir / "tinyproxy.log").string() + "\"\n");
        m_process = std::make_unique<ChildProcess>(kTinyproxy,
                                                   std::vector<std::string>{"-d", "-c", config});
        for (int i = 0; i < 500 && !accepts_connections(m_port); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~LoopbackProxy() {
        m_process->kill(SIGTERM);
        m_process->wait();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    bool running() const { return accepts_connections(m_port); }

private:
    TempDir m_dir;
    int m_port;
    std::unique_ptr<ChildProcess> m_process;
};

// Sets an environment variable for the test's duration.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

TEST(ProxyLookup, DownloadsGoThroughTheConfiguredProxyAndTheHostsAnswerIsCached) {
    if (access(kTinyproxy, X_OK) != 0) {
        GTEST_SKIP() << "tinyproxy is not installed (scripts/install-deps)";
    }
    HttpTestServer server([](httplib::Server& routes) {
        routes.Get("/catalog", [](const httplib::Request& request, httplib::Response& response) {
            // Tinyproxy announces itself in the Via header of what it forwards.
            response.set_content("via=" + request.get_header_value("Via"), "application/x-tlv");
        });
    });
    LoopbackProxy proxy;
    ASSERT_TRUE(proxy.running());
    const std::wstring proxyUrl = to_wide(proxy.url());
    const ScopedEnvironment noProxy("no_proxy", nullptr);
    const ScopedEnvironment noProxyUpper("NO_PROXY", nullptr);
    const ScopedEnvironment httpProxy("http_proxy", proxy.url().c_str());

    // "localhost" is used by no other test, so nothing is cached for it yet.
    const std::wstring url = L"http://localhost:" + std::to_wstring(server.port()) + L"/catalog";
    EXPECT_EQ(url_host(url), L"localhost");
    ASSERT_FALSE(cached_proxy(L"localhost").has_value());

    std::vector<std::uint8_t> body;
    ASSERT_EQ(MemoryCurlDownloader(url).Download(body, L"application/x-tlv"), kResultOk);
    EXPECT_NE(std::string(body.begin(), body.end()).find("tinyproxy"), std::string::npos);
    EXPECT_EQ(cached_proxy(L"localhost"), proxyUrl);

    // The platform now names a proxy that does not exist; the cached answer still holds.
    const ScopedEnvironment elsewhere("http_proxy", "http://127.0.0.1:9");
    body.clear();
    ASSERT_EQ(MemoryCurlDownloader(url).Download(body, L"application/x-tlv"), kResultOk);
    EXPECT_NE(std::string(body.begin(), body.end()).find("tinyproxy"), std::string::npos);
    std::wstring answer;
    EXPECT_EQ(proxy_lookup(L"http://localhost/other", answer), 0);
    EXPECT_EQ(answer, proxyUrl);
    EXPECT_EQ(proxy_lookup(L"http://proxied.localhost/x", answer), 0);
    EXPECT_EQ(answer, L"http://127.0.0.1:9");
}

TEST(ProxyLookup, WithoutAProxyConfiguredDownloadsGoDirect) {
    const ScopedEnvironment httpProxy("http_proxy", nullptr);
    const ScopedEnvironment upper("HTTP_PROXY", nullptr);
    std::wstring answer = L"stale";
    EXPECT_EQ(proxy_lookup(L"http://direct.localhost:1/x", answer), 0);
    EXPECT_EQ(answer, L"");
    EXPECT_EQ(cached_proxy(L"direct.localhost"), L"");
    EXPECT_EQ(url_host(L"not a url at all"), L"");
}
