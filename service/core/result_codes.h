#pragma once

#include <cstdint>

namespace MapsService {

// The result codes every operation of the service returns. 0, 6, 7 and 8 are
// success outcomes for the wizard; every other value is a failure.
using Result = std::int32_t;

inline constexpr Result kResultOk = 0;
inline constexpr Result kResultFailed = 1;
inline constexpr Result kResultCancelled = 2;
inline constexpr Result kResultNoDriveSelected = 3;
inline constexpr Result kResultInvalidDrive = 4;
inline constexpr Result kResultDiskError = 5;
inline constexpr Result kResultMapsNeedUpdate = 6;
inline constexpr Result kResultServerError = 9;
inline constexpr Result kResultPhoneFileSystem = 10;
inline constexpr Result kResultCorruptArchive = 11;
inline constexpr Result kResultConnectivity = 12;
inline constexpr Result kResultWriteProtected = 13;
inline constexpr Result kResultPhoneFull = 14;
inline constexpr Result kResultDriveOffline = 15;
inline constexpr Result kResultNoUpdateInfo = 16;
// Another update of the drive is running, in this process or another.
inline constexpr Result kResultDriveBusy = 19;
// The drive's map version changed and its index files must be fetched again.
inline constexpr Result kResultMapVersionChanged = 0x8001;

}  // namespace MapsService
