#include "ui/messaging/program_folders.h"

#include <system_error>

#include "service/core/trace.h"

namespace atlasync::ui {

namespace fs = std::filesystem;

fs::path executable_folder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : self.parent_path();
}

std::vector<fs::path> program_read_folders() {
    const fs::path folder = executable_folder();
    return {folder, folder.parent_path() / "share" / "atlasync"};
}

fs::path program_write_path(const std::string& fileName, const fs::path& stateHome,
                            const fs::path& home) {
    const fs::path folder = MapsService::state_folder(stateHome, home);
    return folder.empty() ? fs::path() : folder / fileName;
}

fs::path phone_msg_log_path() {
    const fs::path folder = MapsService::state_folder();
    return folder.empty() ? fs::path() : folder / "PhoneMsg.log";
}

}  // namespace atlasync::ui
