#include "ui/messaging/program_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace atlasync::ui {

namespace fs = std::filesystem;

namespace {

fs::path environment_path(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? fs::path(value) : fs::path();
}

}  // namespace

fs::path executable_folder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : self.parent_path();
}

std::vector<fs::path> program_read_folders() {
    const fs::path folder = executable_folder();
    return {folder, folder.parent_path() / "share" / "atlasync"};
}

fs::path program_write_path(const std::string& fileName, const fs::path& executableFolder,
                            const fs::path& stateHome, const fs::path& home) {
    if (!executableFolder.empty() && access(executableFolder.c_str(), W_OK) == 0) {
        return executableFolder / fileName;
    }
    // A relative XDG_STATE_HOME is invalid and ignored.
    fs::path base = stateHome.is_absolute() ? stateHome : fs::path();
    if (base.empty() && home.is_absolute()) {
        base = home / ".local" / "state";
    }
    if (base.empty()) {
        return {};
    }
    const fs::path folder = base / "atlasync";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return {};
    }
    return folder / fileName;
}

fs::path phone_msg_log_path() {
    return program_write_path("PhoneMsg.log", executable_folder(),
                              environment_path("XDG_STATE_HOME"), environment_path("HOME"));
}

}  // namespace atlasync::ui
