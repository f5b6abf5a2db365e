#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/protocol/record_attributes.h"

namespace MapsService {

// One decoded catalog record of a server package.
struct ServerRecord {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::wstring name;
    RecordAttributes attributes;  // quotes stripped

    bool operator==(const ServerRecord&) const = default;
};

// The download record a catalog kind builds from a ServerRecord; copied by value.
struct URLInfo {
    std::wstring name;
    std::wstring url;               // where the file is downloaded from ("File")
    std::wstring version;           // "Ver"
    std::wstring description;       // "Desc" where the catalog has it
    std::wstring type;              // "Type"
    std::wstring language;          // "language"
    std::wstring checksum;          // "MD5"
    std::uint64_t byteSize = 0;     // bytes to download ("ByteSize")
    std::uint64_t contentSize = 0;  // bytes after unpacking, 0 when unknown ("ContentSize")
    std::int32_t id = 0;            // after the package's id conversion
    std::int32_t parentId = 0;      // after the package's id conversion
    std::int32_t itemId = 0;        // the package's item id of the record
    std::vector<std::uint32_t> cityIndexes;  // "CityIndex", comma-separated on the wire
    const void* reference = nullptr;         // left to the catalog kind; never owned

    URLInfo() = default;
    URLInfo(std::wstring name, std::wstring url, std::wstring version, std::wstring description,
            std::wstring type, std::wstring language, std::wstring checksum, std::uint64_t byteSize,
            std::uint64_t contentSize, std::int32_t id, std::int32_t parentId, std::int32_t itemId,
            std::vector<std::uint32_t> cityIndexes);
};

}  // namespace MapsService
