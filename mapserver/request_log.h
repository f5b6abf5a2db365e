#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace atlasync::mapserver {

// Receives one finished log line (without line end).
using LogSink = std::function<void(const std::string& line)>;

// Writes each line whole to standard error.
LogSink stderr_log();

// What one request did, gathered while it is answered.
struct RequestRecord {
    std::string client;  // address:port
    std::string method;
    std::string target;  // path and query
    int status = 0;
    std::uint64_t bytesSent = 0;  // body bytes
    bool complete = true;         // false when the body was cut short
    std::string fault;            // the fault applied, written as its actions
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// "2026-01-02T03:04:05.678Z 127.0.0.1:5000 GET /pg?0102... 200 1234B 3ms [fault] [cut]"
std::string format_log_line(const RequestRecord& record);
// "2026-01-02T03:04:05.678Z 127.0.0.1:5000 GET /maps/a.zip held": written when
// a hold fault begins to keep the answer back; its own line follows at the end.
std::string format_held_line(const RequestRecord& record);

}  // namespace atlasync::mapserver
