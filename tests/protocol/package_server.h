#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "service/protocol/server_record.h"
#include "tests/protocol/http_test_server.h"

namespace atlasync::testing {

// The generated record at an index of a test catalog.
MapsService::ServerRecord catalog_record(int index);
// The first `count` generated records.
std::vector<MapsService::ServerRecord> expected_records(int count);

// What the server read from one package request.
struct ParsedRequest {
    std::vector<int> tags;
    std::string name;
    std::wstring language;
    std::map<std::string, std::string> properties;  // 68/69 pairs, values as UTF-8
    std::uint32_t pageSize = 0;
    std::uint32_t offset = 0;
};

ParsedRequest parse_request(const std::string& target);

// A map server answering package requests ("/pg?HEX") from catalogs of
// generated records, one page per request, raw or as hexadecimal text.
class PackageServer {
public:
    explicit PackageServer(std::map<std::string, int> sizes);

    std::vector<ParsedRequest> requests() const;

    // How later replies are served; the server's threads read these.
    void set_hex(bool hex);
    void set_content_type(std::string type);
    // Answers every request with the first page, as a server that ignores the offset.
    void set_offset_ignored(bool ignored);

private:
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_sizes;  // package name -> records
    bool m_hex = false;
    bool m_offsetIgnored = false;
    std::string m_contentType = "application/x-tlv";

public:
    HttpTestServer server;
};

}  // namespace atlasync::testing
