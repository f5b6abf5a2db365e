#include "service/devices/install_notifier.h"

#include "service/core/message.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"

namespace MapsService {

namespace {

constexpr std::int32_t kTransferPhase = 4;

}  // namespace

DLNKRESULT InstallNotifier::OnFSOperationState(uint32_t function, uint32_t state,
                                               uint32_t transferred, uint32_t all_bytes) {
    TraceDebug(
        "IFSAPINotify::OnFSOperationState( ): dwFSFunction=0x%X, dwState=%d, "
        "dwTransferredBytes=%d, dwAllBytes=%d",
        function, static_cast<int>(state), static_cast<int>(transferred),
        static_cast<int>(all_bytes));
    if (state == DLNK_STATE_USER_ACTION) {
        OnInstallUserActionNeeded();
    } else if (function == DLNK_FUNCTION_INSTALL) {
        OnInstallProgress(kTransferPhase, 0, transferred, all_bytes, static_cast<double>(state));
    }
    if (service_cancel_flag().is_set()) {
        (void)Devlinx::DLNKCancel(m_fs);
    }
    return DLNK_OK;
}

DLNKRESULT InstallNotifier::OnFSConnectionLost(uint32_t status) {
    TraceWarning(L"InstallNotifier::OnFSConnectionLost( 0x%X )", status);
    return DLNK_OK;
}

DLNKRESULT InstallNotifier::OnFSMessage(uint32_t /*code*/, const wchar_t* /*text*/) {
    return DLNK_OK;
}

}  // namespace MapsService
