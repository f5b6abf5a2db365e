#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "service/content/update_record.h"
#include "service/core/result_codes.h"

namespace MapsService {

class DeletePackage;
class DownloadPackage;
class PhoneDrive;

// What an update of the drive installs: the ids of an unfinished update the
// drive recorded, else the regions and voices it holds now, read with its
// catalog. The record's target is left as it is; a recorded update to
// another version is carried over to it, without the ids the target's
// catalog lacks. A list the service cannot read is the answer's failure, so
// that no wipe ever follows it.
[[nodiscard]] Result gather_update_contents(PhoneDrive& drive, UpdateRecord& record);

// Adds the ids the drive's unfinished update names to the caller's, once
// each, so that none drops out of a download; of the caller's, those the
// loaded catalog lacks are left out. False when the drive records no update
// (the ids and the record are then left as they were).
bool add_recorded_items(PhoneDrive& drive, UpdateRecord& record, std::vector<std::int32_t>& regions,
                        std::vector<std::int32_t>& voices);

// Whether the update fits before anything is deleted: the drive's free space
// plus what the wipe frees must hold the unpacked size of every item of the
// record's target (else 14), and this computer's temporary folder must hold
// the largest items it holds at once, archives and unpacked files (else 5).
// Loads the target's catalog; its failure is the answer. On 0 `download`
// holds a package of the record's items.
[[nodiscard]] Result check_update_room(PhoneDrive& drive, const UpdateRecord& record,
                                       const DeletePackage& wipe,
                                       std::optional<DownloadPackage>& download);

// Runs the wipe before an update while the first archives of the update's
// package are fetched ahead into this user's keep of archives, where the
// download that follows takes them: deleting thousands of files on a phone
// would otherwise leave the link idle. The wipe's result; fetching ahead
// fails nothing.
[[nodiscard]] Result run_update_wipe(PhoneDrive& drive, DownloadPackage& download,
                                     DeletePackage& wipe);

// After a download that placed every item it fetched: when the drive's
// recorded update notes every wanted item (regions, voices, add-ons) and
// every one of its own regions and voices as placed, its target goes into
// config.cfg and the record goes, in that order. The drive is flushed before
// either and at the end, also when it records no update: 0 only once what was
// placed is on the device. 1 when the record still misses an item, as such a
// drive is not up to date.
[[nodiscard]] Result finish_update(PhoneDrive& drive, const std::vector<std::int32_t>& wanted);

}  // namespace MapsService
