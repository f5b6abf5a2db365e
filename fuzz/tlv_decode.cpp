// Decoding arbitrary bytes never reads beyond them, and the items it finds
// survive a round trip through the encoder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_encode.h"

using MapsService::Decode;
using MapsService::Encode;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes lets ASan catch any read past the end.
    const std::vector<std::uint8_t> input(data, data + size);
    for (int mode : {Decode::kBinary, Decode::kHex, Decode::kDetect}) {
        const Decode decoder(input.data(), input.size(), mode);
        std::size_t total = 0;
        for (const auto& item : decoder.items()) {
            check(item.tag != 0);
            (void)Decode::value_uint32(item);
            (void)Decode::value_wide_string(item);
            total += 3 + item.length;
        }
        check(decoder.hex() || total <= size);

        // Re-encode in hex mode and decode again: the same items come back.
        std::vector<char> text(2 * total + 7);
        Encode encoder(text.data(), text.size() - 1, Encode::kHexMode);
        for (const auto& item : decoder.items()) {
            check(encoder.add(item.tag, item.value, item.length));
        }
        check(encoder.add_end());
        const Decode again(text.data(), std::strlen(text.data()), Decode::kHex);
        check(again.complete() && again.count() == decoder.count());
        for (std::size_t i = 0; i < again.count(); ++i) {
            const auto& a = decoder.item(i);
            const auto& b = again.item(i);
            check(a.tag == b.tag && a.length == b.length &&
                  (a.length == 0 || std::memcmp(a.value, b.value, a.length) == 0));
        }
    }
    return 0;
}
