#pragma once

#include <string>
#include <vector>

#include "mapserver/content.h"
#include "mapserver/queries.h"

namespace atlasync::mapserver {

// The catalog page a package request asks for, as a TLV stream closed by the
// end item. "{root}" in attribute values becomes `root`, so that catalogs name
// files on whatever host and port the client reached the server through.
std::string catalog_page(const CatalogVariant& variant, const PackageQuery& query,
                         const std::string& root);

// The server version: tag 1 with the request type, then 40..43 for the parts that are set.
std::string server_version_answer(const MapVersion& version, Encoding encoding);
// The version list: one record of 40..43 per version, each closed by tag 254.
std::string version_list_answer(const std::vector<MapVersion>& versions, Encoding encoding);

// Raw bytes as they travel in the given encoding.
std::string encoded(const std::vector<std::uint8_t>& stream, Encoding encoding);

}  // namespace atlasync::mapserver
