#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/protocol/server_record.h"

namespace MapsService {

// Writes catalog replies in the form the client decodes: per record its name,
// id, parent id, attribute pairs and the record end; the end item last. The
// server side of the protocol and its tests use it.
class CatalogWriter {
public:
    // Appends one record; false when an item cannot be encoded (a text too long).
    [[nodiscard]] bool add(const ServerRecord& record);
    // The raw reply, closed by the end item.
    std::vector<std::uint8_t> bytes() const;
    // The same reply in hexadecimal transport form.
    std::string hex() const;

private:
    std::vector<std::uint8_t> m_stream;
};

// Upper-case hexadecimal text of a byte stream.
std::string to_hex(const std::vector<std::uint8_t>& bytes);

}  // namespace MapsService
