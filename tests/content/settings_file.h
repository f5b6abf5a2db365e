#pragma once

#include <string>

#include "service/core/ini_file.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// A service settings file of the test's own, standing in for msapi.ini, which
// a process reads only once.
struct SettingsFile {
    explicit SettingsFile(const std::string& content = "")
        : file((dir.path() / "msapi.ini").string()) {
        write_file(dir.path() / "msapi.ini", content);
    }

    TempDir dir;
    MapsService::IniFile file;
};

}  // namespace atlasync::testing
