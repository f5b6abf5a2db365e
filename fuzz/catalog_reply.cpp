// Any reply decodes without failing, and the records it yields are written
// and decoded again unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "service/protocol/catalog_reply.h"
#include "service/protocol/catalog_writer.h"

using namespace MapsService;

namespace {

// Attributes that stripping left empty would not be stored a second time.
bool writable(const ServerRecord& record) {
    for (const auto& [name, value] : record.attributes) {
        if (name.empty() || value.empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> input(data, data + size);
    std::vector<ServerRecord> records;
    const std::size_t added = decode_catalog_reply(input.data(), input.size(), records);
    if (added != records.size()) {
        std::abort();
    }
    CatalogWriter writer;
    std::vector<ServerRecord> written;
    for (const ServerRecord& record : records) {
        if (writable(record) && writer.add(record)) {
            written.push_back(record);
        }
    }
    const std::vector<std::uint8_t> reply = writer.bytes();
    std::vector<ServerRecord> again;
    decode_catalog_reply(reply.data(), reply.size(), again);
    if (again != written) {
        std::abort();
    }
    return 0;
}
