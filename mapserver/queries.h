#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/protocol/tlv_decode.h"

namespace atlasync::mapserver {

// A query the server cannot read; the message is the body of the 400 answer.
struct QueryError {
    std::string message;
};

// A catalog page request (/pg).
struct PackageQuery {
    std::string name;
    std::string language;
    std::string version;
    std::string operatingSystem;
    std::uint32_t pageSize = 0;    // records asked for
    std::uint32_t pageOffset = 0;  // records the client already has
};

// A version-service request (/vt, /ct, /qb): its type and whether it asks for the list.
struct ServiceQuery {
    std::uint16_t type = 0;
    bool wantsList = false;  // tag 3 present on /vt
};

// Items of a hexadecimal query text. Anything but an even number of hex
// digits forming a complete TLV stream is refused: the client never sends
// such text, so it is a broken or hostile request.
class QueryItems {
public:
    static std::optional<QueryItems> parse(std::string_view hexText, QueryError& error);

    const std::vector<MapsService::TlvItem>& items() const { return m_decode->items(); }

private:
    explicit QueryItems(std::string_view hexText);
    std::shared_ptr<MapsService::Decode> m_decode;
};

std::optional<PackageQuery> parse_package_query(std::string_view hexText, QueryError& error);
// Checks the request type the service expects (4 version, 7 category tree, 0 header).
std::optional<ServiceQuery> parse_service_query(std::string_view hexText,
                                                std::uint16_t expectedType, QueryError& error);

}  // namespace atlasync::mapserver
