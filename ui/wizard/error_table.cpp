#include "ui/wizard/error_table.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

namespace atlasync::ui {

namespace {

namespace M = MapsService;

// Codes 0 and 8 have no row; 6 and 7 have rows although the wizard treats them
// as success and never shows them.
constexpr std::array<ErrorRow, 33> kErrorTable = {{
    {M::kResultFailed, 109, false},
    {M::kResultCancelled, 110, true},
    {M::kResultNoDriveSelected, 111, false},
    {M::kResultInvalidDrive, 112, true},
    {M::kResultDiskError, 113, true},
    {M::kResultMapsNeedUpdate, 114, false},
    {M::kResultMapsUpdated, 115, false},
    {M::kResultServerError, 116, true},
    {M::kResultPhoneFileSystem, 117, false},
    {M::kResultCorruptArchive, 118, true},
    {M::kResultConnectivity, 119, false},
    {M::kResultWriteProtected, 120, true},
    {M::kResultPhoneFull, 121, true},
    {M::kResultDriveOffline, 132, true},
    {M::kResultNoUpdateInfo, 141, false},
    {M::kResultInstallCancelledByPhone, 142, true},
    {M::kResultInstallUnconfirmed, 143, true},
    {M::kResultDriveBusy, 166, true},
    {M::kResultInstallPending, 146, false},
    {M::kResultInstallInterrupted, 147, false},
    {M::kResultInstallConnectionLost, 148, false},
    {M::kResultInstallNoSpace, 149, false},
    {M::kResultInstallAccessDenied, 150, false},
    {M::kResultInstallFileInUse, 151, false},
    {M::kResultInstallFileLocked, 152, false},
    {M::kResultInstallConnectionBroken, 153, false},
    {M::kResultInstallNotSupported, 154, false},
    {M::kResultInstallBusy, 155, true},
    {M::kResultInstallAborted, 156, false},
    {M::kResultInstallCorrupt, 157, false},
    {M::kResultInstallDependency, 158, false},
    {M::kResultInstallSecurity, 159, false},
    {M::kResultInstallerNotSupported, 165, false},
}};

static_assert(std::is_sorted(kErrorTable.begin(), kErrorTable.end(),
                             [](const ErrorRow& a, const ErrorRow& b) { return a.code < b.code; }));

}  // namespace

const ErrorRow* find_error_row(MapsService::Result code) {
    const auto row =
        std::lower_bound(kErrorTable.begin(), kErrorTable.end(), code,
                         [](const ErrorRow& r, MapsService::Result c) { return r.code < c; });
    return row != kErrorTable.end() && row->code == code ? &*row : nullptr;
}

std::wstring error_text(MapsService::Result code) {
    const ErrorRow* row = find_error_row(code);
    const std::wstring number = std::to_wstring(code);
    return format_text(text(row != nullptr ? row->textId : kTextUnknownFailure), {number});
}

bool retryable(MapsService::Result code) {
    const ErrorRow* row = find_error_row(code);
    return row != nullptr && row->retryable;
}

}  // namespace atlasync::ui
