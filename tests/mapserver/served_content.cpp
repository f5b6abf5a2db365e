#include "tests/mapserver/served_content.h"

#include <chrono>
#include <thread>

namespace atlasync::testing {

ServedContent::ServedContent(const std::function<void(const std::filesystem::path&)>& fill) {
    fill(m_dir.path());
    start(m_dir.path());
}

ServedContent::ServedContent(const std::filesystem::path& folder) {
    start(folder);
}

void ServedContent::start(const std::filesystem::path& folder) {
    mapserver::ServerOptions options;
    options.content = folder;
    options.log = [this](const std::string& line) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(line);
    };
    m_server = std::make_unique<mapserver::MapServer>(options);
    m_port = m_server->start();
}

ServedContent::~ServedContent() {
    m_server.reset();
}

std::wstring ServedContent::server_url() const {
    return L"http://maps.localhost:" + std::to_wstring(m_port);
}

std::string ServedContent::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + target;
}

std::vector<std::string> ServedContent::log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

namespace {

std::size_t count_requests(const std::vector<std::string>& log, const std::string& prefix) {
    std::size_t count = 0;
    for (const auto& line : log) {
        if (line.find(" GET " + prefix) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

}  // namespace

std::size_t ServedContent::requests_to(const std::string& prefix, std::size_t expected) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        const std::size_t count = count_requests(log(), prefix);
        if (count >= expected || std::chrono::steady_clock::now() > deadline) {
            return count;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::size_t ServedContent::requests_when_idle(const std::string& prefix) const {
    // A line is logged just after its answer is sent; half a second without a
    // new one means every answer the client has seen is counted.
    constexpr auto kQuiet = std::chrono::milliseconds(500);
    std::size_t lines = log().size();
    auto quietSince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - quietSince < kQuiet) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::size_t now = log().size();
        if (now != lines) {
            lines = now;
            quietSince = std::chrono::steady_clock::now();
        }
    }
    return count_requests(log(), prefix);
}

}  // namespace atlasync::testing
