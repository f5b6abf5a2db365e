#include "service/content/update_record.h"

#include <algorithm>
#include <charconv>

#include "service/content/map_settings.h"
#include "service/content/phone_drive.h"
#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

constexpr std::string_view kFormat = "UPDATE";
constexpr const wchar_t* kStagingFolder = L"update.new";

bool parse_id(std::string_view text, std::int32_t& id) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::wstring diskcache_folder(PhoneDrive& drive) {
    const std::shared_ptr<const MapSettings> settings = drive.map_settings();
    return join_path(drive.file_system().get_root_directory().path(),
                     settings != nullptr ? settings->diskcache() : L"");
}

bool UpdateRecord::is_placed(std::int32_t id) const {
    return std::find(placed.begin(), placed.end(), id) != placed.end();
}

std::string UpdateRecord::encode() const {
    std::string text =
        "format:" + std::string(kFormat) + "\nmap_version:" + to_narrow(target.to_text()) + "\n";
    for (std::int32_t id : regions) {
        text += "region:" + std::to_string(id) + "\n";
    }
    for (std::int32_t id : voices) {
        text += "voice:" + std::to_string(id) + "\n";
    }
    for (std::int32_t id : placed) {
        text += "placed:" + std::to_string(id) + "\n";
    }
    if (wiped) {
        text += "wiped:1\n";
    }
    return text;
}

std::optional<UpdateRecord> UpdateRecord::decode(std::string_view text) {
    UpdateRecord record;
    bool formatSeen = false;
    bool versionSeen = false;
    // Only a record that ends with its line end is whole.
    if (text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = line.substr(colon + 1);
        std::int32_t id = 0;
        if (key == "format" && value == kFormat) {
            formatSeen = true;
        } else if (key == "map_version") {
            try {
                record.target = VersionInfo::parse(to_wide(value));
            } catch (const ConversionFailedException&) {
                return std::nullopt;
            }
            versionSeen = record.target.is_valid();
        } else if (key == "region" && parse_id(value, id)) {
            record.regions.push_back(id);
        } else if (key == "voice" && parse_id(value, id)) {
            record.voices.push_back(id);
        } else if (key == "placed" && parse_id(value, id)) {
            record.placed.push_back(id);
        } else if (key == "wiped" && value == "1") {
            record.wiped = true;
        } else {
            return std::nullopt;
        }
    }
    if (!formatSeen || !versionSeen) {
        return std::nullopt;
    }
    return record;
}

std::wstring update_record_path(PhoneDrive& drive) {
    return join_path(diskcache_folder(drive), UpdateRecord::kFileName);
}

PendingUpdate read_update_record(PhoneDrive& drive, UpdateRecord& record) {
    FileSystem& files = drive.file_system();
    const std::wstring path = update_record_path(drive);
    if (!files.file_exists(path)) {
        return PendingUpdate::None;
    }
    std::vector<std::uint8_t> bytes;
    std::optional<UpdateRecord> decoded;
    if (files.read_file(path, bytes) == kResultOk) {
        decoded = UpdateRecord::decode(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    if (!decoded) {
        TraceWarning(L"unfinished update on drive %s: %s cannot be read", drive.name().c_str(),
                     path.c_str());
        return PendingUpdate::Unreadable;
    }
    record = std::move(*decoded);
    TraceInfo(
        L"unfinished update to %s recorded on drive %s (%d regions, %d voices, %d items placed)",
        record.target.to_text().c_str(), drive.name().c_str(),
        static_cast<int>(record.regions.size()), static_cast<int>(record.voices.size()),
        static_cast<int>(record.placed.size()));
    return PendingUpdate::Recorded;
}

Result write_update_record(PhoneDrive& drive, const UpdateRecord& record) {
    FileSystem& files = drive.file_system();
    const std::wstring folder = diskcache_folder(drive);
    const std::wstring staging = join_path(folder, kStagingFolder);
    const std::string text = record.encode();
    // Made only inside a disk cache that is there: a volume unmounted
    // meanwhile leaves a folder of this computer's own disk in its place.
    if (!files.directory_exists(folder)) {
        TraceError(L"update record not written: %s is gone", folder.c_str());
        return kResultPhoneFileSystem;
    }
    // What the record says was done (items placed, the wipe ended) reaches the
    // device before the record says it.
    Result result = files.flush_drive();
    if (result == kResultOk) {
        result = files.create_directory(staging);
    }
    if (result == kResultOk) {
        result = files.write_file(join_path(staging, UpdateRecord::kFileName), text.data(),
                                  static_cast<std::uint32_t>(text.size()), 0, true);
    }
    if (result == kResultOk) {
        result = files.move_file(join_path(staging, UpdateRecord::kFileName), folder);
    }
    if (result == kResultOk) {
        result = files.flush(folder);
    }
    if (files.directory_exists(staging)) {
        (void)files.delete_directory(staging);
    }
    if (result != kResultOk) {
        TraceError(L"update record not written on drive %s (%d)", drive.name().c_str(), result);
    }
    return result;
}

void clear_update_leftovers(PhoneDrive& drive) {
    FileSystem& files = drive.file_system();
    const std::wstring folder = diskcache_folder(drive);
    const std::wstring staging = join_path(folder, kStagingFolder);
    if (files.directory_exists(staging) && files.delete_directory(staging) != kResultOk) {
        TraceWarning(L"%s not removed", staging.c_str());
    }
    std::vector<std::wstring> folders{folder};
    while (!folders.empty()) {
        const std::wstring current = std::move(folders.back());
        folders.pop_back();
        std::vector<std::wstring> names;
        std::vector<DirectoryEntry> subfolders;
        if (files.fetch_filenames(current, names) != kResultOk ||
            files.fetch_sub_directories(current, subfolders) != kResultOk) {
            continue;
        }
        for (const std::wstring& name : names) {
            if (file_part(name).find(L".partial-") != std::wstring::npos) {
                TraceInfo(L"removing %s, left by an update cut short", name.c_str());
                (void)files.delete_file(name);
            }
        }
        for (const DirectoryEntry& entry : subfolders) {
            folders.push_back(entry.path());
        }
    }
}

Result remove_update_record(PhoneDrive& drive) {
    FileSystem& files = drive.file_system();
    const std::wstring path = update_record_path(drive);
    if (!files.file_exists(path)) {
        return kResultOk;
    }
    const Result result = files.delete_file(path);
    return result == kResultOk ? files.flush(diskcache_folder(drive)) : result;
}

}  // namespace MapsService
