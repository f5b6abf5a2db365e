#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// A temporary phone farm the simulator serves: DEVLINX_SIM_FARM points at it
// and DEVLINX_API_CONFIG at a settings file beside it (no watcher threads
// unless a test asks for them). Phones are made by the real devlinx-phone.
class PhoneFarm {
public:
    PhoneFarm();
    ~PhoneFarm();
    PhoneFarm(const PhoneFarm&) = delete;
    PhoneFarm& operator=(const PhoneFarm&) = delete;

    const std::filesystem::path& folder() const { return m_farm; }
    // Scratch space outside the farm.
    std::filesystem::path outside() const { return m_root.path() / "outside"; }
    std::filesystem::path memory(const std::string& phone, char letter) const {
        return m_farm / phone / std::string(1, letter);
    }

    // Runs devlinx-phone create; fails the test when it does not succeed.
    void create(const std::string& name, const std::vector<std::string>& options = {});
    void remove(const std::string& name);
    // Replaces the connectivity settings file's content.
    void configure(const std::string& settings);

private:
    TempDir m_root;
    std::filesystem::path m_farm;
};

}  // namespace atlasync::testing
