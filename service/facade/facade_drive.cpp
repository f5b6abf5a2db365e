// The current drive: choosing it, reading what it holds and wiping it.

#include <functional>

#include "service/content/maps_bucket.h"
#include "service/content/package_container.h"
#include "service/content/phone_drive.h"
#include "service/content/update_record.h"
#include "service/content/version_manager.h"
#include "service/content/voice_packages.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/facade/facade_internal.h"
#include "service/phones/phone_manager.h"

namespace MapsService {

Result drive_with_map_settings(const char* skipText, PhoneDrive*& drive) {
    drive = current_drive();
    if (drive == nullptr) {
        TraceError("no current drive was selected");
        return kResultNoDriveSelected;
    }
    if (drive->map_settings() == nullptr) {
        TraceInfo("%s", skipText);
        drive = nullptr;
    }
    return kResultOk;
}

namespace {

// Regions are told by the region table and voices linked to their catalog
// items only once the drive's catalogs are loaded; without them the drive
// would seem to hold no regions, and an update would wipe them for good: a
// catalog that cannot be loaded is the list's failure.
Result load_catalog(PhoneDrive& drive) {
    const Result result = drive.ensure_catalog();
    if (result != kResultOk) {
        TraceWarning(L"catalog of drive %s not loaded (%d)", drive.name().c_str(), result);
    }
    return result;
}

// What the current drive's bucket tells, read with the catalog loaded; a
// drive with an unfinished update answers what the update installs instead,
// since what is left on it is a remnant. No drive is 3, untraced; a drive
// without maps settings holds nothing.
Result read_from_bucket(const char* skipText, const std::function<Result(MapsBucket&)>& read,
                        const std::function<void(PhoneDrive&, const UpdateRecord&)>& recorded) {
    PhoneDrive* drive = current_drive();
    if (drive == nullptr) {
        return kResultNoDriveSelected;
    }
    if (drive->map_settings() == nullptr) {
        TraceInfo("%s", skipText);
        return kResultOk;
    }
    const Result loaded = load_catalog(*drive);
    if (loaded != kResultOk) {
        return loaded;
    }
    UpdateRecord record;
    if (read_update_record(*drive, record) == PendingUpdate::Recorded) {
        recorded(*drive, record);
        return kResultOk;
    }
    return read(drive->maps_bucket());
}

// The recorded voices as the catalog describes them.
std::vector<VoiceInfo> recorded_voices(PhoneDrive& drive, const std::vector<std::int32_t>& ids) {
    std::vector<VoiceInfo> voices;
    const VoiceBasePackage* catalog = drive.voice_container().voice_package();
    for (std::int32_t id : ids) {
        VoiceInfo voice;
        voice.id = id;
        voice.valid = true;
        if (catalog != nullptr) {
            for (const ServerRecord& item : catalog->records()) {
                if (item.id == id) {
                    voice.name = item.name;
                    voice.languageId = item.attributes.value(L"language");
                    break;
                }
            }
        }
        voices.push_back(std::move(voice));
    }
    return voices;
}

// Deletions outside an update leave the drive needing one: recorded first.
Result record_before_wipe(PhoneDrive& drive) {
    return VersionManager(drive).record_update();
}

// A wipe of the current drive outside an update: under the drive's lock (so
// that another update does not find its maps gone), recorded first.
Result wipe_current_drive(const char* skipText, const std::function<Result(PhoneDrive&)>& wipe) {
    PhoneDrive* drive = nullptr;
    const Result precondition = drive_with_map_settings(skipText, drive);
    if (precondition != kResultOk || drive == nullptr) {
        return precondition;
    }
    Result result = drive->hold_update_lock();
    if (result != kResultOk) {
        return result;
    }
    const CancellableOperation operation;
    result = record_before_wipe(*drive);
    return result == kResultOk ? wipe(*drive) : result;
}

}  // namespace

Result select_phone_drive(std::int32_t id) {
    return run_operation("select_phone_drive", [&]() -> Result {
        ScopeTrace scope("MapsService::select_phone_drive");
        TraceInfo("select phone drive with id %d", id);
        PhoneDrive* drive = PhoneManager::FindDrive(id);
        set_current_drive(drive);
        if (drive == nullptr) {
            TraceError("unable to select phone drive with id %d", id);
            return kResultInvalidDrive;
        }
        if (drive->file_system().is_write_protected()) {
            TraceError(L"selected phone drive %s is write protected", drive->name().c_str());
            return kResultWriteProtected;
        }
        if (drive->map_settings() == nullptr) {
            return kResultOk;
        }
        VersionManager versions(*drive);
        OnQueryingServer(drive);
        return versions.update_map_version(false);
    });
}

Result GetRegionList(std::vector<std::int32_t>& regions) {
    return run_operation("GetRegionList", [&]() -> Result {
        return read_from_bucket(
            "skipping GetRegionList() without mapsettings",
            [&](MapsBucket& bucket) { return bucket.GetRegionList(regions); },
            [&](PhoneDrive&, const UpdateRecord& record) { regions = record.regions; });
    });
}

Result GetVoicesList(std::vector<VoiceInfo>& voices) {
    return run_operation("GetVoicesList", [&]() -> Result {
        return read_from_bucket(
            "skipping GetVoicesList() without mapsettings",
            [&](MapsBucket& bucket) { return bucket.GetVoicesList(voices); },
            [&](PhoneDrive& drive, const UpdateRecord& record) {
                voices = recorded_voices(drive, record.voices);
            });
    });
}

Result update_maps_version() {
    return run_operation("update_maps_version", [&]() -> Result {
        ScopeTrace scope("MapsService::update_maps_version");
        PhoneDrive* drive = current_drive();
        if (drive == nullptr) {
            return kResultInvalidDrive;
        }
        if (drive->map_settings() == nullptr) {
            TraceInfo("skipping update_maps_version() without mapsettings");
            return kResultOk;
        }
        if (!drive->connected()) {
            TraceError(L"update_maps_version(): current drive %s is offline now",
                       drive->name().c_str());
            return kResultDriveOffline;
        }
        // Held until the download that follows ends; given up at once, also
        // when an exception goes by, unless the drive is left with an update to finish.
        Result result = drive->hold_update_lock();
        if (result != kResultOk) {
            return result;
        }
        bool keepLock = false;
        struct Release {
            PhoneDrive& drive;
            const bool& keep;
            ~Release() {
                if (!keep) {
                    drive.release_update_lock();
                }
            }
        } release{*drive, keepLock};
        const CancellableOperation operation;
        VersionManager versions(*drive);
        result = versions.update_map_version(true);
        UpdateRecord record;
        keepLock = result == kResultOk && read_update_record(*drive, record) != PendingUpdate::None;
        return result;
    });
}

Result delete_all_maps() {
    return run_operation("delete_all_maps", [&] {
        ScopeTrace scope("MapsService::delete_all_maps");
        return wipe_current_drive("skipping delete_all_maps() without mapsettings",
                                  [](PhoneDrive& drive) {
                                      const Result result = drive.maps_bucket().empty_diskcache();
                                      // The wiped cache still needs its index files for the
                                      // maps application to start.
                                      VersionManager versions(drive);
                                      (void)versions.download_cachedat_header();
                                      (void)versions.download_category_tree();
                                      TraceInfo(L"delete_all_maps( ) finished with ret=%d", result);
                                      return result;
                                  });
    });
}

Result delete_all_voices() {
    return run_operation("delete_all_voices", [&] {
        ScopeTrace scope("MapsService::delete_all_voices");
        return wipe_current_drive(
            "skipping delete_all_voices() without mapsettings",
            [](PhoneDrive& drive) { return drive.maps_bucket().delete_all_voices(); });
    });
}

}  // namespace MapsService
