#pragma once

#include <string>

namespace atlasync::ui {

// Whether a window can be shown, asked before Qt is: Qt aborts the program
// when the display it is given cannot be opened.
struct DisplayProbe {
    bool named = false;      // DISPLAY or WAYLAND_DISPLAY is set
    bool reachable = false;  // and a display server answers on one of them
    std::string display;     // the display named first, for the message
};

// Connects to the X server DISPLAY names and to the Wayland socket
// WAYLAND_DISPLAY names, and lets go of them at once.
DisplayProbe probe_display();

}  // namespace atlasync::ui
