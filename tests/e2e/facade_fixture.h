#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "service/content/phone_drive.h"
#include "tests/content/served_world.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// The facade against a generated world served on a loopback port, named to
// the facade through its own server root ("localhost:PORT" after the fixed
// prefix resolves to loopback). Phones and drives are released afterwards.
class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Serves a world and points the facade's server root at it; the manifest
    // line starting with replacedLine, when given, becomes newLine.
    void serve(const mapserver::WorldOptions& options = {}, const std::string& replacedLine = {},
               const std::string& newLine = {});
    ServedWorld& world() { return *m_world; }

    // The service's work folders go below the folder (TMPDIR) until the test ends.
    void use_temp_folder(const std::filesystem::path& folder);

    // A maps drive at 1.1.6.0 in the folder, with the world's regions of the
    // given indexes and every voice: what the served 1.1.7.0 brings up to date.
    std::filesystem::path write_old_drive(const std::filesystem::path& folder,
                                          std::initializer_list<std::size_t> regions);

    // A drive of a phone that shows up as a local volume over the folder.
    MapsService::PhoneDrive* add_volume_drive(const std::filesystem::path& folder,
                                              bool writeProtected = false);

    std::unique_ptr<ServedWorld> m_world;

private:
    std::optional<ScopedVariable> m_tmpdir;  // set by use_temp_folder
};

// Every file below the folder with its size and content digest.
std::map<std::string, std::string> snapshot(const std::filesystem::path& folder);

// The map version a maps drive in the folder says it holds.
std::wstring map_version_of(const std::filesystem::path& folder);

// Files and folders left below the folder (none when it does not exist).
std::size_t entries_below(const std::filesystem::path& folder);

// Entries below the folder of downloads other than the archives a run cut
// short keeps there for the next one.
std::size_t work_entries_below(const std::filesystem::path& downloadTemp);

// Bytes of the regular files below the folder.
std::uint64_t bytes_below(const std::filesystem::path& folder);

// The files missing, extra or different in an updated drive against one
// written fresh at its version (" missing PATH", " differs PATH", " extra
// PATH"); "" when equal. Left out: the flags of config.cfg, the index files
// fetched from the server and the simulator's memory settings.
std::string differences(const std::filesystem::path& drive, const std::filesystem::path& reference);

// The service's temporary work folder of downloads.
std::filesystem::path download_temp_folder();

}  // namespace atlasync::testing
