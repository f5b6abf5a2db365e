#pragma once

#include <string>
#include <string_view>

namespace atlasync::mapserver {

// The content type clients expect for a file, from its extension (letter case aside).
std::string content_type_of(std::string_view path);

}  // namespace atlasync::mapserver
