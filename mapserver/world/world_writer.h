#pragma once

#include <filesystem>
#include <string>

#include "mapserver/world/world.h"

namespace atlasync::mapserver {

// Writes the world as a content folder (mapserver/README.md). The folder must
// be absent or empty, so nothing of the user's is overwritten; the same world
// gives the same bytes. Throws std::runtime_error when the folder cannot be written.
void write_world(const World& world, const std::filesystem::path& folder);

}  // namespace atlasync::mapserver
