#include "tests/protocol/package_server.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_tags.h"

using namespace MapsService;

namespace atlasync::testing {

ServerRecord catalog_record(int index) {
    return {index + 1,
            index / 10,
            L"Region " + std::to_wstring(index),
            {{L"File", L"r" + std::to_wstring(index) + L".zip"},
             {L"ByteSize", std::to_wstring(index * 100)}}};
}

std::vector<ServerRecord> expected_records(int count) {
    std::vector<ServerRecord> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(catalog_record(i));
    }
    return records;
}

ParsedRequest parse_request(const std::string& target) {
    const std::string query = target.substr(target.find('?') + 1);
    const Decode decoder(query.data(), query.size(), Decode::kHex);
    EXPECT_TRUE(decoder.complete());
    ParsedRequest request;
    std::string property;
    for (const TlvItem& item : decoder.items()) {
        request.tags.push_back(item.tag);
        const std::string text(reinterpret_cast<const char*>(item.value),
                               item.length > 0 ? item.length - 1u : 0u);
        switch (item.tag) {
            case tlv::kTagPackageName:
                request.name = text;
                break;
            case tlv::kTagLanguage:
                request.language = Decode::value_wide_string(item).value_or(L"?");
                break;
            case tlv::kTagPropertyName:
                property = text;
                break;
            case tlv::kTagPropertyValue:
                request.properties[property] =
                    property == "Ver" ? to_narrow(Decode::value_wide_string(item).value_or(L"?"))
                                      : text;
                break;
            case tlv::kTagPageSize:
                request.pageSize = Decode::value_uint32(item).value_or(0);
                break;
            case tlv::kTagPageOffset:
                request.offset = Decode::value_uint32(item).value_or(0);
                break;
            default:
                break;
        }
    }
    return request;
}

PackageServer::PackageServer(std::map<std::string, int> packageSizes)
    : m_sizes(std::move(packageSizes)), server([this](httplib::Server& routes) {
          routes.Get("/pg", [this](const httplib::Request& request, httplib::Response& response) {
              const ParsedRequest parsed = parse_request(request.target);
              std::unique_lock lock(m_mutex);
              const int size = m_sizes.count(parsed.name) ? m_sizes.at(parsed.name) : 0;
              const bool hex = m_hex;
              const std::uint32_t offset = m_offsetIgnored ? 0 : parsed.offset;
              const std::string contentType = m_contentType;
              lock.unlock();
              CatalogWriter writer;
              const int end = std::min<int>(size, static_cast<int>(offset + parsed.pageSize));
              for (int i = static_cast<int>(offset); i < end; ++i) {
                  EXPECT_TRUE(writer.add(catalog_record(i)));
              }
              if (hex) {
                  response.set_content(writer.hex(), contentType.c_str());
              } else {
                  const std::vector<std::uint8_t> bytes = writer.bytes();
                  response.set_content(std::string(bytes.begin(), bytes.end()),
                                       contentType.c_str());
              }
          });
      }) {}

void PackageServer::set_hex(bool hex) {
    std::lock_guard lock(m_mutex);
    m_hex = hex;
}

void PackageServer::set_offset_ignored(bool ignored) {
    std::lock_guard lock(m_mutex);
    m_offsetIgnored = ignored;
}

void PackageServer::set_content_type(std::string type) {
    std::lock_guard lock(m_mutex);
    m_contentType = std::move(type);
}

std::vector<ParsedRequest> PackageServer::requests() const {
    std::vector<ParsedRequest> parsed;
    for (const std::string& target : server.requests()) {
        parsed.push_back(parse_request(target));
    }
    return parsed;
}

}  // namespace atlasync::testing
