#include "tests/e2e/facade_fixture.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/facade/maps_service.h"
#include "service/phones/phone_manager.h"
#include "tests/content/drive_fixture.h"

namespace atlasync::testing {

namespace fs = std::filesystem;
using namespace MapsService;

namespace {

// A memory card with its write-protection switch on: the system cannot make
// one from a plain folder, so the volume says so itself.
class WriteProtectedVolume : public FileSystemWin {
public:
    using FileSystemWin::FileSystemWin;
    bool is_write_protected() override { return true; }
};

}  // namespace

void FacadeTest::SetUp() {
    drain_messages();
}

void FacadeTest::TearDown() {
    // Leaves no current drive behind for the drives released below.
    (void)select_phone_drive(-1);
    (void)cancel_operation();
    service_cancel_flag().reset();
    drain_messages();
    PhoneManager::FreeDeviceMap();
    m_world.reset();
    (void)set_server_root(to_wide(kDefaultServerRoot));
    m_tmpdir.reset();
}

void FacadeTest::use_temp_folder(const fs::path& folder) {
    m_tmpdir.reset();  // puts back the folder from before the test
    m_tmpdir.emplace("TMPDIR", folder.string());
}

void FacadeTest::serve(const mapserver::WorldOptions& options, const std::string& replacedLine,
                       const std::string& newLine) {
    m_world = std::make_unique<ServedWorld>(options, replacedLine, newLine);
    ASSERT_EQ(set_server_root(L"localhost:" + std::to_wstring(m_world->served().port())),
              kResultOk);
}

PhoneDrive* FacadeTest::add_volume_drive(const fs::path& folder, bool writeProtected) {
    const std::wstring root = to_wide(folder.string());
    Phone* phone = PhoneManager::AddPhone(L"Volume phone", L"volume-" + root);
    std::unique_ptr<FileSystem> files;
    if (writeProtected) {
        files = std::make_unique<WriteProtectedVolume>(root);
    } else {
        files = std::make_unique<FileSystemWin>(root);
    }
    return PhoneManager::AddPhoneDrive(phone, std::move(files), false);
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            const std::string content = read_file(entry.path());
            files[fs::relative(entry.path(), folder).string()] =
                std::to_string(content.size()) + ":" +
                std::to_string(std::hash<std::string>{}(content));
        }
    }
    return files;
}

namespace {

// Files a fresh drive and an updated one may hold differently: the flags of
// config.cfg and the index files fetched from the server (the cache-data
// header, the category tree, the city indexes). The simulator keeps its
// memory settings beside the drive's files.
bool compared(const std::string& path) {
    return path != "cities/diskcache/config.cfg" && path != "cities/diskcache/CachedatHeader.cdt" &&
           path != "cities/diskcache/F/1/FFFFFFF1.cdt" &&
           !path.starts_with("cities/diskcache/ClientIndex/") && path != "memory.ini";
}

}  // namespace

std::string differences(const fs::path& drive, const fs::path& reference) {
    const auto have = snapshot(drive);
    const auto want = snapshot(reference);
    std::string text;
    for (const auto& [path, digest] : want) {
        const auto found = have.find(path);
        if (compared(path) && (found == have.end() || found->second != digest)) {
            text += (found == have.end() ? " missing " : " differs ") + path;
        }
    }
    for (const auto& [path, digest] : have) {
        if (compared(path) && want.count(path) == 0) {
            text += " extra " + path;
        }
    }
    return text;
}

fs::path FacadeTest::write_old_drive(const fs::path& folder,
                                     std::initializer_list<std::size_t> regions) {
    mapserver::DriveOptions options;
    options.content = world().content();
    options.mapVersion = "1.1.6.0";
    for (const std::size_t index : regions) {
        options.regions.push_back(std::to_string(world().world.regions[index].idid));
    }
    options.voices = {"all"};
    mapserver::write_drive(options, folder);
    return folder;
}

std::wstring map_version_of(const fs::path& folder) {
    FileSystemWin files(to_wide(folder.string()));
    return MapSettings(files).map_version().to_text();
}

std::size_t entries_below(const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(folder, error)) {
        return 0;
    }
    return static_cast<std::size_t>(std::distance(fs::recursive_directory_iterator(folder),
                                                  fs::recursive_directory_iterator()));
}

std::size_t work_entries_below(const fs::path& downloadTemp) {
    const fs::path kept = downloadTemp / "kept";
    const std::size_t keep = fs::exists(kept) ? entries_below(kept) + 1 : 0;
    return entries_below(downloadTemp) - keep;
}

std::uint64_t bytes_below(const fs::path& folder) {
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        total += entry.is_regular_file() ? entry.file_size() : 0;
    }
    return total;
}

fs::path download_temp_folder() {
    const char* base = std::getenv("TMPDIR");
    const fs::path root = (base != nullptr && base[0] == '/') ? base : "/tmp";
    return root / ("atlasync-" + std::to_string(::getuid())) / "download_temp";
}

}  // namespace atlasync::testing
