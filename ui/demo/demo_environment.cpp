#include "ui/demo/demo_environment.h"

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include "mapserver/drive/drive_writer.h"
#include "mapserver/map_server.h"
#include "mapserver/world/world.h"
#include "mapserver/world/world_writer.h"

namespace atlasync::ui {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPhoneName = "demo-phone";
// An older map version than the world serves, so the phone needs an update.
constexpr const char* kOutdatedMapVersion = "1.1.6.0";

// A world small enough to download in seconds, large enough to show progress.
mapserver::WorldOptions demo_world_options() {
    mapserver::WorldOptions options;
    options.seed = 2026;
    options.regions = 6;
    options.tilesPerRegion = 12;
    options.tileMin = 4096;
    options.tileMax = 32768;
    options.voices = 2;
    return options;
}

void write_text(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::trunc);
    out << text;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

// Something half made by an interrupted run goes; what is made is renamed in
// whole, so a folder either holds a finished part or none.
void remove_partial(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    if (error) {
        throw std::runtime_error("cannot remove " + folder.string() + ": " + error.message());
    }
}

}  // namespace

// The server's request lines go to a file, not between the wizard's lines.
class DemoEnvironment::RequestLog {
public:
    explicit RequestLog(const fs::path& file) : m_out(file, std::ios::app) {}
    void write(const std::string& line) {
        const std::lock_guard lock(m_mutex);
        m_out << line << '\n';
        m_out.flush();
    }

private:
    std::mutex m_mutex;
    std::ofstream m_out;
};

fs::path new_demo_folder() {
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = (tmp != nullptr && tmp[0] == '/') ? fs::path(tmp) : fs::path("/tmp");
    std::string pattern = (base / "atlasync-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a demo folder in " + base.string());
    }
    return pattern;
}

DemoEnvironment::DemoEnvironment(fs::path folder)
    : m_folder(folder.empty() ? new_demo_folder() : fs::absolute(folder)) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error || !fs::is_directory(m_folder)) {
        throw std::runtime_error("cannot make the demo folder " + m_folder.string() +
                                 (error ? ": " + error.message() : ""));
    }
    prepare_world();
    prepare_phone();
    write_text(settings_file(), "[Devlinx]\nSimFarm=" + farm_folder().string() +
                                    "\n; no watcher threads for release and reload requests\n"
                                    "Options=1\n");
}

DemoEnvironment::~DemoEnvironment() {
    stop_server();
}

fs::path DemoEnvironment::phone_folder() const {
    return farm_folder() / kPhoneName;
}

void DemoEnvironment::prepare_world() {
    if (fs::exists(world_folder() / "manifest.txt")) {
        return;
    }
    m_reused = false;
    const fs::path partial = m_folder / "world.partial";
    remove_partial(partial);
    remove_partial(world_folder());
    try {
        mapserver::write_world(mapserver::World::build(demo_world_options()), partial);
    } catch (const std::exception& failure) {
        throw std::runtime_error(std::string("cannot write the demo world: ") + failure.what());
    }
    fs::rename(partial, world_folder());
}

void DemoEnvironment::prepare_phone() {
    if (fs::exists(phone_folder() / "phone.ini")) {
        return;
    }
    m_reused = false;
    // The simulator passes over hidden folders: the phone is plugged in by the
    // rename at the end, complete.
    const fs::path staging = farm_folder() / ("." + std::string(kPhoneName) + ".new");
    remove_partial(staging);
    remove_partial(phone_folder());
    fs::create_directories(staging / "C");
    fs::create_directories(staging / "E");
    write_text(staging / "phone.ini",
               "; the demo's phone, made by atlasync --demo\n"
               "serial=DEMO-0001\n"
               "name=Demo phone\n"
               "model=VX-335N\n"
               "generation=335\n");
    write_text(staging / "C" / "memory.ini", "type=DEV\ncapacity=256M\nlabel=Phone memory\n");
    write_text(staging / "E" / "memory.ini", "type=MMC\ncapacity=1G\nlabel=Memory card\n");

    mapserver::DriveOptions drive;
    drive.content = world_folder();
    drive.mapVersion = kOutdatedMapVersion;
    const mapserver::World world = mapserver::World::build(demo_world_options());
    for (std::size_t i = 0; i < world.regions.size(); i += 2) {
        drive.regions.push_back(std::to_string(world.regions[i].idid));
    }
    drive.voices = {"all"};
    try {
        mapserver::write_drive(drive, staging / "E");
    } catch (const std::exception& failure) {
        throw std::runtime_error(std::string("cannot write the demo phone's maps: ") +
                                 failure.what());
    }
    fs::rename(staging, phone_folder());
}

void DemoEnvironment::use_phone_farm() const {
    ::setenv("DEVLINX_API_CONFIG", settings_file().c_str(), 1);
    ::setenv("DEVLINX_SIM_FARM", farm_folder().c_str(), 1);
}

std::string DemoEnvironment::start_server() {
    if (!m_server) {
        m_log = std::make_unique<RequestLog>(m_folder / "mapserver.log");
        mapserver::ServerOptions options;
        options.content = world_folder();
        options.bind = "127.0.0.1";
        options.port = 0;
        options.log = [log = m_log.get()](const std::string& line) { log->write(line); };
        m_server = std::make_unique<mapserver::MapServer>(options);
        m_server->start();
    }
    return "localhost:" + std::to_string(m_server->port());
}

void DemoEnvironment::stop_server() {
    if (m_server) {
        m_server->stop();
        m_server.reset();
    }
    m_log.reset();
}

}  // namespace atlasync::ui
