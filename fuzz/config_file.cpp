// config.cfg decoding never reads past its buffer, and what it accepts
// survives being written in the full form and read again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "service/content/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using MapsService::ConfigFile;
    MapsService::VersionInfo version;
    std::uint64_t diskcacheSize = 0;
    if (!ConfigFile::decode(data, size, version, diskcacheSize)) {
        return 0;
    }
    std::uint8_t bytes[ConfigFile::kFullSize];
    ConfigFile::encode(version, diskcacheSize, bytes);
    MapsService::VersionInfo again;
    std::uint64_t sizeAgain = 0;
    if (!ConfigFile::decode(bytes, sizeof bytes, again, sizeAgain) || sizeAgain != diskcacheSize ||
        again.a() != version.a() || again.b() != version.b() || again.c() != version.c() ||
        again.d() != version.d() || again.fifth() != version.fifth()) {
        std::abort();
    }
    return 0;
}
