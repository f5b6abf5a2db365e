#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "service/protocol/server_record.h"

namespace atlasync::mapserver {

// Catalogs are kept as UTF-8 text so that people can read and edit them:
//
//   record ID PARENT NAME
//   Key=Value
//
// A record line starts a record; each following Key=Value line adds one
// attribute. Blank lines and lines starting with "#" are ignored.

// Reads a catalog; throws std::runtime_error naming the line of a malformed one.
std::vector<MapsService::ServerRecord> read_catalog(std::istream& in, const std::string& origin);

// One record in the form read_catalog reads.
void write_catalog_record(std::ostream& out, const MapsService::ServerRecord& record);

}  // namespace atlasync::mapserver
