#pragma once

#include <cstdint>

#include "devlinx/devlinx_api.h"

namespace MapsService {

// Follows one installation for the connectivity library: turns its transfer
// states into install progress messages, tells the user when the phone wants
// them to act, and passes the user's cancel on to the library. Called on the
// library's threads while the installation call blocks.
class InstallNotifier final : public IFSAPINotify {
public:
    explicit InstallNotifier(DLNKFSHANDLE fs) : m_fs(fs) {}
    virtual ~InstallNotifier() = default;
    InstallNotifier(const InstallNotifier&) = delete;
    InstallNotifier& operator=(const InstallNotifier&) = delete;

    DLNKRESULT OnFSOperationState(uint32_t function, uint32_t state, uint32_t transferred,
                                  uint32_t all_bytes) override;
    DLNKRESULT OnFSConnectionLost(uint32_t status) override;
    DLNKRESULT OnFSMessage(uint32_t code, const wchar_t* text) override;

private:
    DLNKFSHANDLE m_fs;  // the installation's handle, not owned
};

}  // namespace MapsService
