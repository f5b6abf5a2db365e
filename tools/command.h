#pragma once

#include <functional>
#include <string>
#include <vector>

namespace atlasync::tool {

// One subcommand of atlasync-tool. Each lives in tools/commands/ and registers
// itself with a static CommandRegistration, so adding one touches no other file.
struct Command {
    std::string name;
    std::string synopsis;     // arguments, as shown by --help
    std::string description;  // one line
    // Receives the arguments after the command's name; answers the exit status.
    std::function<int(const std::vector<std::string>&)> run;
};

const std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

}  // namespace atlasync::tool
