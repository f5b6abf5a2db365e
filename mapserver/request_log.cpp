#include "mapserver/request_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace atlasync::mapserver {

namespace {

// Queries are long hex texts; the start identifies the request well enough.
constexpr std::size_t kShownTarget = 72;

std::string utc_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

// Control characters from a hostile request must not forge log lines.
std::string printable(const std::string& text) {
    std::string shown;
    for (unsigned char c : text.substr(0, kShownTarget)) {
        shown.push_back(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
    }
    if (text.size() > kShownTarget) {
        shown += "...";
    }
    return shown;
}

}  // namespace

LogSink stderr_log() {
    return [](const std::string& line) {
        const std::string whole = line + "\n";
        // One write per line, so that lines of concurrent requests never interleave.
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, whole.data(), whole.size());
    };
}

std::string format_log_line(const RequestRecord& record) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - record.started);
    std::string line = utc_now() + " " + record.client + " " + printable(record.method) + " " +
                       printable(record.target) + " " + std::to_string(record.status) + " " +
                       std::to_string(record.bytesSent) + "B " + std::to_string(elapsed.count()) +
                       "ms";
    if (!record.fault.empty()) {
        line += " fault=" + record.fault;
    }
    if (!record.complete) {
        line += " cut";
    }
    return line;
}

std::string format_held_line(const RequestRecord& record) {
    return utc_now() + " " + record.client + " " + printable(record.method) + " " +
           printable(record.target) + " held";
}

}  // namespace atlasync::mapserver
