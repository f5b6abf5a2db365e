#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/result_codes.h"

namespace MapsService {

class PhoneDrive;

// What an update is about to install on a drive, kept on the drive itself
// beside config.cfg from just before the first deletion until every item is
// there. While it exists the drive is not current, and the next run installs
// exactly what it names: an interruption never costs the maps the phone had.
struct UpdateRecord {
    static constexpr const wchar_t* kFileName = L"update.pending";

    VersionInfo target;                 // the map version the update ends at
    std::vector<std::int32_t> regions;  // region ids, as GetRegionList tells them
    std::vector<std::int32_t> voices;   // voice catalog item ids
    // Catalog items (regions, voices, their add-ons) whose last file is on
    // the drive: an update that resumes fetches only the others.
    std::vector<std::int32_t> placed;
    // The update's wipe of the old maps and voices ran to its end: only then
    // may an update resume instead of wiping again.
    bool wiped = false;

    bool is_placed(std::int32_t id) const;

    // "format:UPDATE", "map_version:a.b.c.d", then one "region:ID", one
    // "voice:ID" and one "placed:ID" line each, and "wiped:1" once the wipe
    // ended, "\n" line ends: the quota file's way of writing.
    std::string encode() const;
    // Nothing when the text is not a whole record.
    static std::optional<UpdateRecord> decode(std::string_view text);
};

enum class PendingUpdate {
    None,        // no unfinished update
    Recorded,    // an unfinished update, read whole
    Unreadable,  // a record that cannot be read: an update is due all the same
};

// The drive's disk cache folder, where the record lives beside config.cfg.
std::wstring diskcache_folder(PhoneDrive& drive);
// Drive path of the record.
std::wstring update_record_path(PhoneDrive& drive);

[[nodiscard]] PendingUpdate read_update_record(PhoneDrive& drive, UpdateRecord& record);
// Written under a staging folder, then moved beside config.cfg in one step,
// so that the drive holds the whole old record or the whole new one.
[[nodiscard]] Result write_update_record(PhoneDrive& drive, const UpdateRecord& record);
// 0 also when there is none.
[[nodiscard]] Result remove_update_record(PhoneDrive& drive);
// What an update cut short leaves in the disk cache: the record's staging
// folder and the files that were being written ("NAME.partial-PID-N", also
// on a card that was once updated as a USB volume).
void clear_update_leftovers(PhoneDrive& drive);

}  // namespace MapsService
