#include "tests/protocol/http_test_server.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "service/core/text.h"

namespace atlasync::testing {

HttpTestServer::HttpTestServer(const Routes& routes) {
    m_server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request.target);
        m_userAgents.push_back(request.get_header_value("User-Agent"));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    routes(m_server);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("test server could not bind a loopback port");
    }
    // The socket listens already; clients may connect before the loop runs.
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() is lost on a server whose loop has not begun yet.
    while (!m_server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

HttpTestServer::~HttpTestServer() {
    m_stopping = true;
    m_server.stop();
    m_thread.join();
}

std::string HttpTestServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::wstring HttpTestServer::wide_url(const std::string& path) const {
    return MapsService::to_wide(url(path));
}

std::vector<std::string> HttpTestServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> HttpTestServer::user_agents() const {
    std::lock_guard lock(m_mutex);
    return m_userAgents;
}

void HttpTestServer::stall() const {
    ++m_stalled;
    while (!stopping()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    --m_stalled;
}

void serve_in_pieces(httplib::Response& response, std::string body, const std::string& type,
                     std::size_t piece, std::chrono::milliseconds pause) {
    auto content = std::make_shared<std::string>(std::move(body));
    response.set_content_provider(
        content->size(), type,
        [content, piece, pause](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::this_thread::sleep_for(pause);
            const std::size_t count = std::min({piece, length, content->size() - offset});
            return sink.write(content->data() + offset, count);
        });
}

}  // namespace atlasync::testing
