#include "tests/content/served_world.h"

#include "mapserver/drive/drive_writer.h"
#include "mapserver/world/world_writer.h"

namespace atlasync::testing {

ServedWorld::ServedWorld(const mapserver::WorldOptions& options, const std::string& replacedLine,
                         const std::string& newLine)
    : world(mapserver::World::build(options)) {
    mapserver::write_world(world, m_content.path());
    if (!replacedLine.empty()) {
        const std::filesystem::path manifest = m_content.path() / "manifest.txt";
        std::string text = read_file(manifest);
        const auto at = text.find("\n" + replacedLine);
        const auto end = text.find('\n', at + 1);
        text.replace(at + 1, end - at - 1, newLine);
        write_file(manifest, text);
    }
    m_served = std::make_unique<ServedContent>(m_content.path());
}

ServedWorld::~ServedWorld() = default;

std::wstring ServedWorld::url() const {
    return m_served->server_url();
}

std::filesystem::path ServedWorld::make_drive(mapserver::DriveOptions options) {
    options.content = m_content.path();
    const std::filesystem::path folder =
        m_drives.path() / ("drive" + std::to_string(++m_driveCount));
    mapserver::write_drive(options, folder);
    return folder;
}

}  // namespace atlasync::testing
