// Version answers from the map server, raw or as hex text: decoding never
// reads past the answer, a list never holds more versions than record ends
// fit in it, and a raw answer means the same once sent as hex text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "service/content/version_requests.h"
#include "service/protocol/tlv_decode.h"

namespace {

bool same(const MapsService::VersionInfo& x, const MapsService::VersionInfo& y) {
    return x.a() == y.a() && x.b() == y.b() && x.c() == y.c() && x.d() == y.d();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace MapsService;
    const std::vector<std::uint8_t> answer(data, data + size);
    bool complete = false;
    const VersionInfo server = decode_server_version(answer, complete);
    const std::vector<VersionInfo> list = decode_version_list(answer);
    // Each record needs at least its three-byte end item.
    if (list.size() > size / 3) {
        std::abort();
    }
    if (Decode::looks_like_hex(data, size)) {
        return 0;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<std::uint8_t> hex;
    for (std::uint8_t byte : answer) {
        hex.push_back(static_cast<std::uint8_t>(kDigits[byte >> 4]));
        hex.push_back(static_cast<std::uint8_t>(kDigits[byte & 15]));
    }
    if (!Decode::looks_like_hex(hex.data(), hex.size())) {
        return 0;  // too short to be told apart from raw bytes
    }
    bool completeHex = false;
    const VersionInfo serverHex = decode_server_version(hex, completeHex);
    const std::vector<VersionInfo> listHex = decode_version_list(hex);
    if (completeHex != complete || !same(server, serverHex) || listHex.size() != list.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!same(list[i], listHex[i])) {
            std::abort();
        }
    }
    return 0;
}
