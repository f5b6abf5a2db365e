#include "service/content/item_fetcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace MapsService;

namespace {

URLInfo item(std::uint64_t archive, std::uint64_t unpacked) {
    URLInfo info;
    info.byteSize = archive;
    info.contentSize = unpacked;
    return info;
}

}  // namespace

TEST(ItemFetcher, ThePcHoldsTheLargestItemUnpackedAndTheArchivesAheadOfIt) {
    constexpr std::uint64_t kMiB = 1 << 20;
    const struct {
        std::vector<URLInfo> items;
        std::uint64_t held;
    } rows[] = {
        {{}, 0},
        // Every archive fits ahead: all of them, and the largest once more unpacked.
        {{item(1 * kMiB, 2 * kMiB), item(3 * kMiB, 5 * kMiB)}, 8 * kMiB + 4 * kMiB},
        // Many archives: no more of them than the fetches may run ahead.
        {std::vector<URLInfo>(40, item(2 * kMiB, 3 * kMiB)), 5 * kMiB + ItemFetcher::kBytesAhead},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ItemFetcher::most_bytes_held(row.items), row.held) << row.items.size();
    }
}
