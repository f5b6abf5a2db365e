#pragma once

#include <filesystem>
#include <string>

namespace atlasync::ui {

// The optional test settings file "AtlasyncSim.ini", section "Settings". An
// absent file or key gives the caller's default; the wizard then behaves normally.
class CPrivateProfile {
public:
    static constexpr const char* kFileName = "AtlasyncSim.ini";

    // Empty path: the file in the program's folder.
    explicit CPrivateProfile(std::filesystem::path path = {});

    const std::filesystem::path& path() const { return m_path; }
    // Read afresh on every call, so an edited file counts at once.
    std::string read_string(const char* key, std::size_t maximumLength = 4096) const;
    // A value that is not a whole number gives the default.
    int read_int(const char* key, int defaultValue) const;

private:
    std::filesystem::path m_path;
};

}  // namespace atlasync::ui
