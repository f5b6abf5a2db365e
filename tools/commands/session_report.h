#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/facade/maps_service.h"

namespace atlasync::tool {

// What the service commands found, gathered as they go so that any output
// form (text lines or one JSON document) can be made from it. Texts are UTF-8.
struct StepReport {
    std::string step;    // the service call as the facade names it
    std::string volume;  // add_volume's folder; empty for every other call
    MapsService::Result code = MapsService::kResultOk;
    std::string cause;  // why it failed, when the tool knows more than the code
};

struct VoiceReport {
    std::int32_t id = 0;  // the catalog item's id; 0 when the server offers none
    std::string name;
};

struct SessionReport {
    std::string server;            // the map server's URL
    bool phonesLookedFor = false;  // the phone side started: `phones` holds what it found
    std::vector<MapsService::PhoneInfo> phones;
    std::int32_t driveId = 0;  // the chosen drive; 0 before one was chosen
    std::string driveName;     // the service's name of the drive ("\\E:\\" or a folder)
    bool mapsNeedUpdate = false;
    std::string installedMapVersion;  // a.b.c.d; empty when unknown
    std::string offeredMapVersion;
    MapsService::MapsappVersionInfo installedAppVersion;  // not valid when unknown
    bool appOffered = false;  // the server offers a maps application for the drive
    MapsService::MapsappVersionInfo offeredAppVersion;
    std::string offeredAppTitle;
    std::uint64_t offeredAppBytes = 0;
    bool sized = false;               // the download size below was asked for
    std::uint64_t downloadBytes = 0;  // to fetch
    std::uint64_t unpackedBytes = 0;  // to write after unpacking
    std::vector<MapsService::DownloadItemInfo> items;
    std::vector<std::int32_t> regions;
    std::vector<VoiceReport> voices;
    std::vector<StepReport> steps;
    std::size_t failedStep = SIZE_MAX;  // the step whose code is the exit status; none: SIZE_MAX
    MapsService::Result result = MapsService::kResultOk;  // the exit status

    // Drops what was read of the drive, before it is read again: what a
    // failed reading leaves out must not stand from the reading before.
    void forget_drive() {
        const SessionReport kept = *this;
        *this = {};
        server = kept.server;
        phonesLookedFor = kept.phonesLookedFor;
        phones = kept.phones;
        steps = kept.steps;
        failedStep = kept.failedStep;
    }
};

}  // namespace atlasync::tool
