#include "mapserver/drive/drive_writer.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "service/content/config_file.h"
#include "service/content/quota_file.h"
#include "service/content/region_qnr_map.h"
#include "service/content/version_info.h"
#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/devices/path_helpers.h"
#include "service/zip/extract.h"

namespace atlasync::mapserver {

namespace {

namespace fs = std::filesystem;
using namespace MapsService;

struct LayoutPaths {
    std::wstring quotaFile;
    std::wstring diskcache;
    std::wstring voicefiles;
    std::wstring ttffiles;
    std::wstring cachedats;
};

LayoutPaths paths_of(DriveLayout layout) {
    switch (layout) {
        case DriveLayout::Private:
            return {L"private\\20001f63\\qf", L"private\\20001f63\\diskcache",
                    L"private\\20001f63\\voices", L"private\\20001f63\\fonts",
                    L"private\\20001f63"};
        case DriveLayout::Legacy:
            // The legacy form names only the disk cache; the voices live beside it.
            return {L"qf", L"cities\\diskcache", L"cities", L"", L""};
        case DriveLayout::Root:
            break;
    }
    return {L"qf", L"cities\\diskcache", L"cities\\diskcache\\voices", L"cities\\fonts", L"cities"};
}

// A drive-relative path below the folder, as a native path.
fs::path native_path(const fs::path& folder, const std::wstring& relative) {
    std::string text = to_narrow(relative);
    std::replace(text.begin(), text.end(), '\\', '/');
    return folder / text;
}

// The extracted files are the product; nothing else is done with them.
class KeepFiles : public ExtractionSink {
public:
    Result on_file_extracted(const std::wstring&, const std::wstring&) override {
        return kResultOk;
    }
    void on_unzip_progress(std::uint64_t) override {}
};

void unpack(const fs::path& archive, const fs::path& target) {
    fs::create_directories(target);
    KeepFiles sink;
    ExtractionContext context(sink);
    if (extract(to_wide(archive.string()), to_wide(target.string()), context) != kResultOk) {
        throw std::runtime_error("cannot unpack " + archive.string());
    }
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::invalid_argument("the content folder has no " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> all_region_ids(const fs::path& content) {
    const std::string xml = read_text(content / "files/maps/regions.xml");
    RegionQNRMap table;
    if (!table.load(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size())) {
        throw std::invalid_argument("the content folder's region table cannot be read");
    }
    std::vector<std::string> ids;
    for (const auto& entry : table.regions()) {
        ids.push_back(std::to_string(entry.first).substr(1));  // the leading 1 is the client's
    }
    return ids;
}

std::vector<std::string> all_voice_names(const fs::path& folder) {
    std::vector<std::string> names;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().stem().string();
            if (name.rfind("v30_", 0) == 0) {
                name.erase(0, 4);
            }
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void write_quota_file(FileSystemWin& drive, const DriveOptions& options, const LayoutPaths& paths,
                      const fs::path& folder) {
    const fs::path native = native_path(folder, paths.quotaFile);
    fs::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    if (options.layout == DriveLayout::Legacy) {
        // The service only ever reads this form, so it is written here by hand.
        out << "1000000;" << to_narrow(paths.diskcache);
        return;
    }
    // A minimal current form that the service's own writer then completes.
    out << "format:QF\nclient_id:" << options.clientId << "\nquota:1000000\n";
    out.close();
    QuotaFile quota(drive, join_path(drive.get_root_directory().path(), paths.quotaFile));
    quota.set_diskcache(paths.diskcache);
    quota.set_voicefiles(paths.voicefiles);
    quota.set_ttffiles(paths.ttffiles);
    quota.set_cachedats(paths.cachedats);
    if (quota.write() != kResultOk) {
        throw std::runtime_error("cannot write the quota file " + native.string());
    }
}

}  // namespace

DriveSummary write_drive(const DriveOptions& options, const fs::path& folder) {
    VersionInfo mapVersion;
    try {
        mapVersion = VersionInfo::parse(to_wide(options.mapVersion));
    } catch (const ConversionFailedException&) {
        throw std::invalid_argument("--map-version needs a.b.c.d, found " + options.mapVersion);
    }
    if (!mapVersion.is_valid()) {
        throw std::invalid_argument("--map-version needs a.b.c.d, found " + options.mapVersion);
    }
    // Every archive is looked for before anything is written, so that bad
    // options leave no half-made drive behind.
    std::vector<std::string> regions = options.regions;
    if (regions.size() == 1 && regions.front() == "all") {
        regions = all_region_ids(options.content);
    }
    std::vector<fs::path> regionArchives;
    for (const std::string& idid : regions) {
        regionArchives.push_back(options.content / "files/maps/regions" / ("R" + idid + ".zip"));
    }
    // Map data of 1.x and later reads voices in the 3.0 layout.
    const bool layout30 = mapVersion.b() >= 1;
    const fs::path voiceFolder =
        options.content / (layout30 ? "files/voices/30" : "files/voices/20");
    std::vector<std::string> voices = options.voices;
    if (voices.size() == 1 && voices.front() == "all") {
        voices = all_voice_names(voiceFolder);
    }
    std::vector<fs::path> voiceArchives;
    for (const std::string& language : voices) {
        voiceArchives.push_back(voiceFolder / ((layout30 ? "v30_" : "") + language + ".zip"));
    }
    for (const auto* archives : {&regionArchives, &voiceArchives}) {
        for (const fs::path& archive : *archives) {
            if (!fs::is_regular_file(archive)) {
                throw std::invalid_argument("the content folder has no " + archive.string());
            }
        }
    }

    fs::create_directories(folder);
    FileSystemWin drive(to_wide(fs::absolute(folder).string()));
    const LayoutPaths paths = paths_of(options.layout);
    write_quota_file(drive, options, paths, folder);
    try {
        ConfigFile config(
            drive,
            join_path(join_path(drive.get_root_directory().path(), paths.diskcache), L"config.cfg"),
            mapVersion);
    } catch (const PhoneDriveInvalidException&) {
        throw std::runtime_error("cannot write config.cfg into " + folder.string());
    }
    DriveSummary summary;
    for (const fs::path& archive : regionArchives) {
        unpack(archive, native_path(folder, paths.diskcache));
        ++summary.regions;
    }
    for (const fs::path& archive : voiceArchives) {
        unpack(archive, native_path(folder, paths.voicefiles));
        ++summary.voices;
    }
    return summary;
}

}  // namespace atlasync::mapserver
