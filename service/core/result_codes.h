#pragma once

#include <cstdint>

namespace MapsService {

// The result codes every operation of the service returns; is_success tells
// the outcomes the wizard goes on from.
using Result = std::int32_t;

inline constexpr Result kResultOk = 0;
inline constexpr Result kResultFailed = 1;
inline constexpr Result kResultCancelled = 2;
inline constexpr Result kResultNoDriveSelected = 3;
inline constexpr Result kResultInvalidDrive = 4;
inline constexpr Result kResultDiskError = 5;
// Drive selection: the drive holds maps older than the server's.
inline constexpr Result kResultMapsNeedUpdate = 6;
// Success outcomes the wizard accepts, though no operation answers them; the
// first has an error text ("Maps updated"), the second none.
inline constexpr Result kResultMapsUpdated = 7;
inline constexpr Result kResultReservedSuccess = 8;
inline constexpr Result kResultServerError = 9;
inline constexpr Result kResultPhoneFileSystem = 10;
inline constexpr Result kResultCorruptArchive = 11;
inline constexpr Result kResultConnectivity = 12;
inline constexpr Result kResultWriteProtected = 13;
inline constexpr Result kResultPhoneFull = 14;
inline constexpr Result kResultDriveOffline = 15;
inline constexpr Result kResultNoUpdateInfo = 16;
// Installing the maps application: the user cancelled on the phone; the phone
// did not confirm that the installation ended.
inline constexpr Result kResultInstallCancelledByPhone = 17;
inline constexpr Result kResultInstallUnconfirmed = 18;
// Another update of the drive is running, in this process or another.
inline constexpr Result kResultDriveBusy = 19;

// Installing the maps application, from the connectivity library's statuses.
inline constexpr Result kResultInstallPending = 100;  // to be completed on the phone
inline constexpr Result kResultInstallInterrupted = 101;
inline constexpr Result kResultInstallConnectionLost = 102;
inline constexpr Result kResultInstallNoSpace = 103;
inline constexpr Result kResultInstallAccessDenied = 104;
inline constexpr Result kResultInstallFileInUse = 105;
inline constexpr Result kResultInstallFileLocked = 106;
inline constexpr Result kResultInstallConnectionBroken = 107;
inline constexpr Result kResultInstallNotSupported = 108;
inline constexpr Result kResultInstallBusy = 109;
inline constexpr Result kResultInstallAborted = 110;
inline constexpr Result kResultInstallCorrupt = 111;
inline constexpr Result kResultInstallDependency = 112;
inline constexpr Result kResultInstallSecurity = 113;
inline constexpr Result kResultInstallerNotSupported = 114;

// The drive's map version changed and its index files must be fetched again.
inline constexpr Result kResultMapVersionChanged = 0x8001;

constexpr bool is_success(Result result) {
    return result == kResultOk || result == kResultMapsNeedUpdate || result == kResultMapsUpdated ||
           result == kResultReservedSuccess;
}

}  // namespace MapsService
