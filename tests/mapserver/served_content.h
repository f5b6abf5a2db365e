#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mapserver/map_server.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// A content folder served in-process on an ephemeral loopback port, with the
// server's log lines kept for the test.
class ServedContent {
public:
    // `fill` writes the content folder; a folder already filled is served as it is.
    explicit ServedContent(const std::function<void(const std::filesystem::path&)>& fill);
    explicit ServedContent(const std::filesystem::path& folder);
    ~ServedContent();

    mapserver::MapServer& server() { return *m_server; }
    int port() const { return m_port; }
    // "http://maps.localhost:PORT": the kind of root the client uses.
    std::wstring server_url() const;
    std::string url(const std::string& target) const;
    std::vector<std::string> log() const;
    // Number of logged requests whose target starts with the prefix, once at
    // least `expected` are logged or two seconds passed: a line is written just
    // after its answer, so the client may see the answer first.
    std::size_t requests_to(const std::string& prefix, std::size_t expected) const;
    // Number of logged requests whose target starts with the prefix once the
    // server is idle (no line logged for a while): the count to compare when
    // checking that no further request was made.
    std::size_t requests_when_idle(const std::string& prefix) const;

private:
    void start(const std::filesystem::path& folder);

    TempDir m_dir;
    std::unique_ptr<mapserver::MapServer> m_server;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_log;
};

}  // namespace atlasync::testing
