#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "mapserver/faults.h"
#include "mapserver/request_log.h"

namespace atlasync::mapserver {

struct ServerOptions {
    std::filesystem::path content;  // a content folder (mapserver/README.md)
    std::string bind = "127.0.0.1";
    int port = 0;  // 0 picks a free port
    LogSink log;   // one line per request; standard error when empty
    // PEM files of the certificate (its chain may follow it) and its private
    // key: with both, the server speaks https only. Neither: http.
    std::filesystem::path certificate;
    std::filesystem::path key;
};

// The reference map server: catalogs, version services and file downloads
// over one HTTP port. Runs on its own threads from start() until stop() or
// destruction, so tests can hold one in-process.
class MapServer {
public:
    // Reads the content folder; throws ContentError when it cannot be served,
    // std::runtime_error when the certificate and key cannot be used.
    explicit MapServer(ServerOptions options);
    ~MapServer();
    MapServer(const MapServer&) = delete;
    MapServer& operator=(const MapServer&) = delete;

    // Binds and starts serving; answers the port. Throws std::runtime_error
    // when the address cannot be bound.
    int start();
    // Ends every answer in progress (stalled ones included) and stops serving.
    void stop();

    int port() const;
    // "http[s]://ADDRESS:PORT", the root clients name the server by.
    std::string root() const;
    FaultPlan& faults();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace atlasync::mapserver
