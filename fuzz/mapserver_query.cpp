// Arbitrary bytes as the query of a map server request: once as the text the
// server receives, once turned into hex text so that the item parsing is reached.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mapserver/queries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace atlasync::mapserver;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[data[i] >> 4]);
        hex.push_back(kDigits[data[i] & 0x0F]);
    }
    for (const std::string_view query : {text, std::string_view(hex)}) {
        QueryError error;
        const auto package = parse_package_query(query, error);
        if (package && package->name.empty()) {
            __builtin_trap();  // a package request always names its package
        }
        parse_service_query(query, 4, error);
    }
    return 0;
}
