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

// Where a file the program writes goes: the user's state folder (stateHome,
// or home/.local/state when empty) under "atlasync", created with mode 0700
// when missing. Never beside the executable: run as root, that is /usr/bin.
// Empty when no state folder is usable.
std::filesystem::path program_write_path(const std::string& fileName,
                                         const std::filesystem::path& stateHome,
                                         const std::filesystem::path& home);

// "PhoneMsg.log" for this process, by the rule above.
std::filesystem::path phone_msg_log_path();

}  // namespace atlasync::ui
