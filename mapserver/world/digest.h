#pragma once

#include <filesystem>
#include <string>

namespace atlasync::mapserver {

// Lower-case hexadecimal MD5 of a file's bytes, as catalogs carry it.
std::string md5_of_file(const std::filesystem::path& path);

}  // namespace atlasync::mapserver
