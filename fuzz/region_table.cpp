// Region table XML of any shape is read without faults, and every region it
// accepts is complete once all of its tiles are marked present.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "service/content/region_qnr_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MapsService::RegionQNRMap table;
    if (!table.load(data, size)) {
        if (!table.empty()) {
            std::abort();
        }
        return 0;
    }
    for (const auto& [id, region] : table.regions()) {
        if (region->id != id) {
            std::abort();
        }
        for (const auto& tile : region->tiles) {
            if (table.mark_present(tile.first).empty()) {
                std::abort();
            }
        }
    }
    for (const auto& entry : table.regions()) {
        if (!entry.second->complete()) {
            std::abort();
        }
    }
    table.reset_marks();
    return 0;
}
