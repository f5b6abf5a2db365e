#pragma once

#include <cstdint>

#include "ui/hsm/qhsm.h"

namespace atlasync::ui {

// The wizard's signals; the numbers are fixed.
enum WizardSignal : std::uint16_t {
    SIG_LANGUAGE_REQUEST = 4,  // the user asks for the language page during the splash
    SIG_NEXT = 5,              // a page's default button, after its data exchange succeeded
    SIG_RETRY = 6,             // "Try Again"
    SIG_CANCEL_REQUEST = 7,    // a page's "Cancel" or the dialog's own cancel
    SIG_CANCEL_CONFIRMED = 8,  // "Yes" in the cancel confirmation
    SIG_MAIN_DIALOG_READY = 105,
    SIG_SPLASH_TIMEOUT = 106,
    SIG_PHONES_CHANGED = 107,
    SIG_PHONE_SEARCH_DONE = 108,
    SIG_SERVICE_INIT_FAILED = 109,
    SIG_SELECTED_PHONE_LOST = 110,
    SIG_DRIVE_SELECTED = 111,
    SIG_REGIONS_READ = 112,
    SIG_APP_VERSIONS_READ = 113,
    SIG_APP_UPDATE_DONE = 114,
    SIG_MAP_UPDATE_DONE = 115,
    SIG_DELETE_PROGRESS = 116,
    SIG_DOWNLOAD_PROGRESS = 117,
    SIG_INSTALL_STARTED = 118,
    SIG_INSTALL_PROGRESS = 119,
    SIG_INSTALL_USER_ACTION = 120,
    SIG_DOWNLOAD_SIZE_READ = 121,
};

static_assert(static_cast<int>(SIG_LANGUAGE_REQUEST) == static_cast<int>(FirstUserSignal));

}  // namespace atlasync::ui
