#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "service/core/text.h"

namespace MapsService {

// Paths above the file-system interface keep backslashes ("cities\diskcache"),
// also when they are joined onto a local folder; the operating system wants "/".
inline std::string to_native_path(std::wstring_view localPath) {
    std::string native = to_narrow(localPath);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

}  // namespace MapsService
