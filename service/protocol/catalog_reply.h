#pragma once

#include <cstddef>
#include <vector>

#include "service/protocol/server_record.h"

namespace MapsService {

// Decodes one catalog reply (hexadecimal text or raw bytes) and appends its
// complete records to `records`. Never fails: a damaged reply yields the
// records completed before the damage; incomplete records are dropped.
// Returns the number of records appended.
std::size_t decode_catalog_reply(const void* body, std::size_t size,
                                 std::vector<ServerRecord>& records);

}  // namespace MapsService
