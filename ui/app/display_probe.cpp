#include "ui/app/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace atlasync::ui {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool x_server_answers(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    // A failed connection is an object too, and is released the same way.
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// The socket is the name itself when absolute, else in the runtime folder.
bool wayland_answers(const std::string& display) {
    const std::string path =
        display.front() == '/' ? display : environment("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool answers =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answers;
}

}  // namespace

DisplayProbe probe_display() {
    DisplayProbe probe;
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string x = environment("DISPLAY");
    probe.named = !wayland.empty() || !x.empty();
    probe.display = !x.empty() ? x : wayland;
    probe.reachable =
        (!wayland.empty() && wayland_answers(wayland)) || (!x.empty() && x_server_answers(x));
    return probe;
}

}  // namespace atlasync::ui
