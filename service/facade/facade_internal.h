#pragma once

#include <exception>
#include <type_traits>
#include <utility>
#include <vector>

#include "service/core/exceptions.h"
#include "service/core/failure_cause.h"
#include "service/core/result_codes.h"
#include "service/core/trace.h"
#include "service/facade/maps_service.h"

namespace MapsService {

class DownloadPackage;

void set_current_drive(PhoneDrive* drive);

// Holds the HTTP library set up for a call that may run before initialize or
// after finalize; its set-ups are counted, so it nests with the service's own.
class TransferLibraryUse {
public:
    TransferLibraryUse();
    ~TransferLibraryUse();
    TransferLibraryUse(const TransferLibraryUse&) = delete;
    TransferLibraryUse& operator=(const TransferLibraryUse&) = delete;
};

// Runs the body of the operation `name`: no exception leaves the facade. One
// that escapes the body is traced and answered with its code (1 when it has none).
template <typename Body>
Result guarded(const char* name, Body&& body) {
    // A body answering anything else (a bool, say) would be read as a code.
    static_assert(std::is_same_v<std::invoke_result_t<Body&>, Result>);
    try {
        return body();
    } catch (const Exception& error) {
        TraceError("exception in MapsService::%s: %s", name, error.what());
        return error.code();
    } catch (const std::exception& error) {
        TraceError("exception in MapsService::%s: %s", name, error.what());
    } catch (...) {
        TraceError("exception in MapsService::%s", name);
    }
    return kResultFailed;
}

// A step of the wizard's: guarded, and starting without the failure cause of
// the one before, so that last_failure_cause() speaks of this one only.
template <typename Body>
Result run_operation(const char* name, Body&& body) {
    clear_failure_cause();
    return guarded(name, std::forward<Body>(body));
}

// The common preconditions of the operations on the current drive: 3 (traced)
// without a drive, 0 with `drive` null after tracing the skip text when the
// drive holds no maps settings, otherwise 0 with `drive` set.
[[nodiscard]] Result drive_with_map_settings(const char* skipText, PhoneDrive*& drive);

// Appends one entry per package item, each under the entry of its parent id
// when the list already holds one.
void insert_download_items(const DownloadPackage& package, std::vector<DownloadItemInfo>& items);

// The catalog item ids of the chosen voices; a voice the catalog does not
// offer has nothing to fetch.
std::vector<std::int32_t> voice_item_ids(PhoneDrive& drive, const std::vector<VoiceInfo>& voices);

void release_mapsapp_catalog();

}  // namespace MapsService
