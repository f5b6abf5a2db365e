#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace atlasync::mapserver {
class MapServer;
}

namespace atlasync::ui {

// The demo's world, phone and map server, all kept in one folder:
//
//   DIR/world/      the sample world the map server serves
//   DIR/farm/       the simulated phones; one whose memory card holds old maps
//   DIR/devlinx.ini the phone simulator's settings
//   DIR/mapserver.log  one line per request the server answered
//
// A folder prepared before is used as it is, so a second run sees what the
// first one left: a phone already brought up to date.
class DemoEnvironment {
public:
    // Prepares the folder (made when absent; a new one under the user's
    // temporary folder when empty). Throws std::runtime_error with the reason
    // when the folder cannot be prepared.
    explicit DemoEnvironment(std::filesystem::path folder);
    // Stops the server.
    ~DemoEnvironment();
    DemoEnvironment(const DemoEnvironment&) = delete;
    DemoEnvironment& operator=(const DemoEnvironment&) = delete;

    const std::filesystem::path& folder() const { return m_folder; }
    // True when the world and the phone were there already.
    bool reused() const { return m_reused; }
    std::filesystem::path world_folder() const { return m_folder / "world"; }
    std::filesystem::path farm_folder() const { return m_folder / "farm"; }
    std::filesystem::path phone_folder() const;
    std::filesystem::path settings_file() const { return m_folder / "devlinx.ini"; }

    // Points this process's phone connectivity at the demo's farm; call
    // before the service starts.
    void use_phone_farm() const;

    // Serves the world on a free loopback port; answers the server root
    // ("localhost:PORT") the wizard is to use.
    std::string start_server();
    void stop_server();

private:
    void prepare_world();
    void prepare_phone();

    std::filesystem::path m_folder;
    bool m_reused = true;
    std::unique_ptr<mapserver::MapServer> m_server;
    class RequestLog;
    std::unique_ptr<RequestLog> m_log;
};

// A new, empty folder for a demo: "atlasync-demo-XXXXXX" in $TMPDIR (else /tmp).
std::filesystem::path new_demo_folder();

}  // namespace atlasync::ui
