// Decoding speed of catalog replies: a whole 100,000-record catalog and one
// page of 500 records, raw and as hexadecimal text. Reports records per second.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "service/protocol/catalog_reply.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_decode.h"

using namespace MapsService;

namespace {

// A record shaped like a map catalog's region entry.
ServerRecord region(int index) {
    const std::wstring n = std::to_wstring(index);
    return {index + 1000,
            index / 50,
            L"Region " + n,
            {{L"ByteSize", std::to_wstring(100000 + index * 37)},
             {L"ContentSize", std::to_wstring(250000 + index * 91)},
             {L"MD5", L"0123456789abcdef0123456789abcdef"},
             {L"language", L"en"},
             {L"Type", L"region"},
             {L"Ver", L"1.3.15.0"},
             {L"File", L"http://maps.example.localhost/regions/r" + n + L".zip"},
             {L"CityIndex", n + L"," + std::to_wstring(index + 1)}}};
}

struct Catalog {
    std::vector<std::uint8_t> raw;
    std::string hex;
};

const Catalog& catalog(int records) {
    static std::map<int, Catalog> cache;
    auto found = cache.find(records);
    if (found == cache.end()) {
        CatalogWriter writer;
        for (int i = 0; i < records; ++i) {
            if (!writer.add(region(i))) {
                std::abort();
            }
        }
        found = cache.emplace(records, Catalog{writer.bytes(), writer.hex()}).first;
    }
    return found->second;
}

void decode_records(benchmark::State& state, const void* body, std::size_t size, int expected) {
    for (auto _ : state) {
        std::vector<ServerRecord> records;
        if (decode_catalog_reply(body, size, records) != static_cast<std::size_t>(expected)) {
            state.SkipWithError("wrong record count");
            return;
        }
        benchmark::DoNotOptimize(records.data());
        // The package keeps its records; freeing them is not part of decoding.
        state.PauseTiming();
        records = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * expected);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
    state.counters["records"] = expected;
}

void BM_CatalogBinary(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const Catalog& c = catalog(count);
    decode_records(state, c.raw.data(), c.raw.size(), count);
}

void BM_CatalogHex(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const Catalog& c = catalog(count);
    decode_records(state, c.hex.data(), c.hex.size(), count);
}

// Splitting into items alone, without building records.
void BM_SplitItemsBinary(benchmark::State& state) {
    const Catalog& c = catalog(static_cast<int>(state.range(0)));
    std::size_t items = 0;
    for (auto _ : state) {
        const Decode decoder(c.raw.data(), c.raw.size(), Decode::kBinary);
        items = decoder.count();
        benchmark::DoNotOptimize(items);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(items));
}

// Turning a hexadecimal reply into bytes alone.
void BM_HexToBytes(benchmark::State& state) {
    const Catalog& c = catalog(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto bytes = Decode::hex_to_bytes(c.hex.data(), c.hex.size());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.hex.size()));
}

}  // namespace

BENCHMARK(BM_CatalogBinary)->Arg(500)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CatalogHex)->Arg(500)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SplitItemsBinary)->Arg(500)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_HexToBytes)->Arg(500)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
