#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace atlasync::testing {

// A real HTTP/1.1 server on an ephemeral loopback port for the duration of a
// test. Routes are registered before it starts listening; every request's
// target (path and query) is recorded in arrival order.
class HttpTestServer {
public:
    using Routes = std::function<void(httplib::Server&)>;

    explicit HttpTestServer(const Routes& routes);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return m_port; }
    // "http://127.0.0.1:PORT" followed by the path.
    std::string url(const std::string& path) const;
    std::wstring wide_url(const std::string& path) const;
    std::vector<std::string> requests() const;
    std::vector<std::string> user_agents() const;

    // True once the server is shutting down; stalling handlers poll it.
    bool stopping() const { return m_stopping.load(); }
    // Holds a handler until the server shuts down (a transfer that stalls).
    void stall() const;
    // Handlers stalling now: what a test waits for before it acts on a stall.
    std::size_t stalled() const { return m_stalled.load(); }

private:
    httplib::Server m_server;
    int m_port = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    mutable std::atomic<std::size_t> m_stalled{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_userAgents;
};

// A body of `size` bytes written in pieces of `piece` bytes with a pause
// before each, so that the client receives it piece by piece.
void serve_in_pieces(httplib::Response& response, std::string body, const std::string& type,
                     std::size_t piece, std::chrono::milliseconds pause);

}  // namespace atlasync::testing
