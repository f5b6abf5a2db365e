#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace atlasync::ui {

// The folder of the running program.
std::filesystem::path executable_folder();

// Where the program looks for files it only reads (language modules, the
// tutorial picture): beside the executable, then the installed data folder
// <prefix>/share/atlasync.
std::vector<std::filesystem::path> program_read_folders();

// Where a file the program writes goes: beside the executable when that folder
// is writable, else the user's state folder (stateHome, or ~/.local/state when
// empty) under "atlasync", created when missing. Empty when neither is usable.
std::filesystem::path program_write_path(const std::string& fileName,
                                         const std::filesystem::path& executableFolder,
                                         const std::filesystem::path& stateHome,
                                         const std::filesystem::path& home);

// "PhoneMsg.log" for this process, by the rule above.
std::filesystem::path phone_msg_log_path();

}  // namespace atlasync::ui
