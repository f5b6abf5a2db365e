#pragma once

#include "ui/app/main_dlg.h"
#include "ui/wizard/state_machine.h"
#include "ui/wizard/wizard_settings.h"

namespace atlasync::ui {

// The wizard: the window and the flow that fills it, one object. The machine
// shows its pages in this window; the pages' buttons, Escape and the close
// button reach the machine as signals.
class CStateMachineDlg : public CMainDlg, public CStateMachine {
    Q_OBJECT

public:
    explicit CStateMachineDlg(WizardSettings settings = {});
    ~CStateMachineDlg() override;

    // The modal run: single-instance guard, splash, main window, flow. Answers
    // the run's outcome (0 updated or nothing to update, 2 cancelled, else
    // the failing result code).
    int DoModal();
};

}  // namespace atlasync::ui
