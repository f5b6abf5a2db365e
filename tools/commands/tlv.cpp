// atlasync-tool tlv: lists the items of a TLV stream, raw or as hexadecimal text.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/facade/diagnostics.h"
#include "tools/command.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

int run(const std::vector<std::string>& args) {
    bool hex = false;
    bool raw = false;
    std::vector<std::string> files;
    Options parser("tlv", "[--hex|--raw] FILE");
    parser.flag("--hex", hex);
    parser.flag("--raw", raw);
    parser.words(files, 1, 1);
    if (!parser.parse(args)) {
        return kExitUsage;
    }
    if (hex && raw) {
        std::fprintf(stderr, "atlasync-tool: tlv: --hex and --raw exclude each other\n");
        return kExitUsage;
    }
    const MapsService::TlvForm form = hex   ? MapsService::TlvForm::Hex
                                      : raw ? MapsService::TlvForm::Raw
                                            : MapsService::TlvForm::Detect;
    const std::string& path = files[0];
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "atlasync-tool tlv: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> content((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    const MapsService::TlvListing listing = MapsService::list_tlv(content, form);
    std::printf("# %s, %zu items\n", listing.hex ? "hex" : "raw", listing.entries.size());
    for (const MapsService::TlvEntry& entry : listing.entries) {
        std::printf("%3u %5u  %s\n", entry.tag, entry.length, entry.value.c_str());
    }
    if (!listing.complete) {
        std::fprintf(stderr, "atlasync-tool tlv: the stream is cut short after item %zu\n",
                     listing.entries.size());
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
