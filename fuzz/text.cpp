// UTF-8 decoding never fails and its output survives a round trip.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = MapsService::to_wide(input);
    if (MapsService::to_wide(MapsService::to_narrow(wide)) != wide) {
        std::abort();
    }
    return 0;
}
