#include "exit_codes/exit_codes.h"

#include <algorithm>
#include <array>

#include "service/core/result_codes.h"

namespace atlasync {

namespace {

namespace M = MapsService;

static_assert(kExitOk == M::kResultOk && kExitFailed == M::kResultFailed &&
              kExitCancelled == M::kResultCancelled && kExitNoPhone == M::kResultInvalidDrive);

constexpr unsigned kAll = kExitWizard | kExitTool | kExitMapServer | kExitPhone;
constexpr unsigned kService = kExitWizard | kExitTool;

constexpr std::array kExitCodes = {
    ExitCode{kExitOk, kService, "Done: the maps were brought up to date, or they are current."},
    ExitCode{kExitOk, kExitMapServer | kExitPhone, "Done."},
    ExitCode{kExitFailed, kAll,
             "Unspecified error: the work failed for a reason no other status names."},
    ExitCode{kExitCancelled, kService, "Cancelled by the user, by Ctrl-C or by SIGTERM."},
    ExitCode{M::kResultNoDriveSelected, kService, "No phone drive was selected."},
    ExitCode{kExitNoPhone, kService,
             "No phone or no maps drive was found, or the drive's id is not valid (the phone was "
             "disconnected)."},
    ExitCode{M::kResultDiskError, kService,
             "Error on the PC's own disk, such as a temporary folder too small for the download."},
    ExitCode{M::kResultServerError, kService,
             "The map server cannot be reached, or its answer is unusable."},
    ExitCode{M::kResultPhoneFileSystem, kService, "Error while reading or writing the drive."},
    ExitCode{M::kResultCorruptArchive, kService, "A downloaded archive is damaged."},
    ExitCode{M::kResultConnectivity, kService, "The phone connectivity library cannot be started."},
    ExitCode{M::kResultWriteProtected, kService, "The drive is write protected."},
    ExitCode{M::kResultPhoneFull, kService, "The drive has no room for the new maps."},
    ExitCode{M::kResultDriveOffline, kService, "The drive was lost during the update."},
    ExitCode{M::kResultNoUpdateInfo, kService,
             "The map server offers nothing for this phone: it appears not to be supported."},
    ExitCode{M::kResultInstallCancelledByPhone, kService,
             "The maps application's installation was cancelled on the phone."},
    ExitCode{M::kResultInstallUnconfirmed, kService,
             "The phone did not confirm that the installation ended."},
    ExitCode{M::kResultDriveBusy, kService,
             "Another update of this drive is running; nothing was changed."},
    ExitCode{kExitUsage, kAll,
             "Bad command line: an unknown command or option, a missing or unusable value."},
    ExitCode{kExitUpdateOffered, kExitTool,
             "check: every step succeeded and an update is offered (new map data or a newer "
             "maps application)."},
    ExitCode{M::kResultInstallPending, kService, "Installation: to be completed on the phone."},
    ExitCode{M::kResultInstallInterrupted, kService, "Installation: interrupted."},
    ExitCode{M::kResultInstallConnectionLost, kService,
             "Installation: the connection to the phone was lost."},
    ExitCode{M::kResultInstallNoSpace, kService, "Installation: no room on the phone."},
    ExitCode{M::kResultInstallAccessDenied, kService, "Installation: access denied."},
    ExitCode{M::kResultInstallFileInUse, kService, "Installation: a file is in use."},
    ExitCode{M::kResultInstallFileLocked, kService, "Installation: a file is locked."},
    ExitCode{M::kResultInstallConnectionBroken, kService,
             "Installation: the connection to the phone broke."},
    ExitCode{M::kResultInstallNotSupported, kService, "Installation: the phone cannot be updated."},
    ExitCode{M::kResultInstallBusy, kService,
             "Installation: the phone is busy installing another application."},
    ExitCode{M::kResultInstallAborted, kService, "Installation: aborted by the phone."},
    ExitCode{M::kResultInstallCorrupt, kService, "Installation: the installer is damaged."},
    ExitCode{M::kResultInstallDependency, kService,
             "Installation: a component the application needs is missing."},
    ExitCode{M::kResultInstallSecurity, kService, "Installation: refused by the phone's security."},
    ExitCode{M::kResultInstallerNotSupported, kService,
             "Installation: the installer is not supported by the phone."},
};

static_assert(std::is_sorted(kExitCodes.begin(), kExitCodes.end(),
                             [](const ExitCode& a, const ExitCode& b) {
                                 return a.status < b.status;
                             }));
static_assert(std::all_of(kExitCodes.begin(), kExitCodes.end(),
                          [](const ExitCode& code) {
                              return code.status >= 0 && code.status < 126;
                          }),
              "126 and above are the shell's: not found, not executable, killed by a signal");

}  // namespace

std::span<const ExitCode> exit_codes() {
    return kExitCodes;
}

int exit_status_for(std::int32_t result) {
    if (M::is_success(result)) {
        return kExitOk;
    }
    const bool named =
        std::any_of(kExitCodes.begin(), kExitCodes.end(), [result](const ExitCode& code) {
            return code.status == result && (code.programs & kService) != 0 &&
                   code.status != kExitUsage && code.status != kExitUpdateOffered;
        });
    return named ? result : kExitFailed;
}

}  // namespace atlasync
