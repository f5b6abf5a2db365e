#include "ui/app/state_machine_dlg.h"

#include "ui/messaging/call_gate.h"
#include "ui/messaging/ui_language_manager.h"

namespace atlasync::ui {

CStateMachineDlg::CStateMachineDlg(WizardSettings settings)
    : CMainDlg(), CStateMachine(this, std::move(settings)) {
    // A button's signal may replace the page that holds the button, so it
    // reaches the machine once the click has been handled, not from inside it.
    set_signal_target([this](std::uint16_t signal) {
        if (!post_signal(*this, signal)) {
            dispatch_signal(signal);
        }
    });
    set_languages(CUILanguageManager::acquire()->available_languages());
}

CStateMachineDlg::~CStateMachineDlg() = default;

int CStateMachineDlg::DoModal() {
    return run();
}

}  // namespace atlasync::ui
