// atlasync-tool tlv: lists the items of a TLV stream, raw or as hexadecimal text.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "service/core/text.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_decode.h"
#include "tools/command.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

using MapsService::Decode;
using MapsService::TlvItem;

bool printable(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return !text.empty();
}

// A narrow text: printable bytes closed by one zero byte.
std::optional<std::string> narrow_text(const TlvItem& item) {
    if (item.length < 2 || item.value[item.length - 1] != 0) {
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(item.value), item.length - 1u);
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return text;
}

std::string describe_value(const TlvItem& item) {
    std::string out;
    if (item.length == 1 || item.length == 2 || item.length == 4 || item.length == 8) {
        unsigned long long number = 0;
        for (int i = item.length - 1; i >= 0; --i) {
            number = (number << 8) | item.value[i];
        }
        out = "number " + std::to_string(number);
    }
    // A value may read both ways (65 is also the wide "A"); show each reading that fits.
    if (auto wide = Decode::value_wide_string(item); wide && printable(*wide)) {
        out += (out.empty() ? "" : "  ") + std::string("text \"") + MapsService::to_narrow(*wide) +
               "\"";
    } else if (auto narrow = narrow_text(item)) {
        out += (out.empty() ? "" : "  ") + std::string("text \"") + *narrow + "\"";
    }
    if (out.empty() && item.length > 0) {
        out = "hex " +
              MapsService::to_hex(std::vector<std::uint8_t>(item.value, item.value + item.length));
    }
    return out;
}

int run(const std::vector<std::string>& args) {
    bool hex = false;
    bool raw = false;
    std::vector<std::string> files;
    Options parser("tlv", "[--hex|--raw] FILE");
    parser.flag("--hex", hex);
    parser.flag("--raw", raw);
    parser.words(files, 1, 1);
    if (!parser.parse(args)) {
        return 2;
    }
    if (hex && raw) {
        std::fprintf(stderr, "atlasync-tool: tlv: --hex and --raw exclude each other\n");
        return 2;
    }
    const int mode = hex ? Decode::kHex : raw ? Decode::kBinary : Decode::kDetect;
    const std::string& path = files[0];
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "atlasync-tool tlv: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> content((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    const Decode decoder(content.data(), content.size(), mode);
    std::printf("# %s, %zu items\n", decoder.hex() ? "hex" : "raw", decoder.count());
    for (const TlvItem& item : decoder.items()) {
        std::printf("%3u %5u  %s\n", item.tag, item.length, describe_value(item).c_str());
    }
    if (!decoder.complete()) {
        std::fprintf(stderr, "atlasync-tool tlv: the stream is cut short after item %zu\n",
                     decoder.count());
        return 1;
    }
    return 0;
}

const CommandRegistration kRegistration({
    "tlv",
    "[--hex|--raw] FILE",
    "list the items of a TLV stream (tag, length, value as number, text or hex)",
    run,
});

}  // namespace

}  // namespace atlasync::tool
