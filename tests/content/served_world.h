#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "mapserver/drive/drive_writer.h"
#include "mapserver/world/world.h"
#include "tests/mapserver/served_content.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

// A generated sample world served in-process on a loopback port; catalogs
// are fetched from it while the object lives.
class ServedWorld {
public:
    // The manifest line starting with replacedLine, when given, becomes newLine.
    explicit ServedWorld(const mapserver::WorldOptions& options = {},
                         const std::string& replacedLine = {}, const std::string& newLine = {});
    ~ServedWorld();

    const std::filesystem::path& content() const { return m_content.path(); }
    ServedContent& served() { return *m_served; }
    // The URL the service asks the world's map server at.
    std::wstring url() const;
    // A maps drive written into a fresh folder below this world's temporary folder.
    std::filesystem::path make_drive(mapserver::DriveOptions options);

    const mapserver::World world;

private:
    TempDir m_content;
    TempDir m_drives;
    int m_driveCount = 0;
    std::unique_ptr<ServedContent> m_served;
};

}  // namespace atlasync::testing
