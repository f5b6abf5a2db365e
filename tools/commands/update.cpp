// atlasync-tool update: the check, then the update of the maps on the drive.

#include "exit_codes/exit_codes.h"
#include "tools/command.h"
#include "tools/commands/service_session.h"

namespace atlasync::tool {

namespace {

int run_update(const std::vector<std::string>& args) {
    SessionOptions options;
    if (!parse_session_options("update", args, true, options)) {
        return kExitUsage;
    }
    ServiceSession session(std::move(options));
    if (session.check()) {
        (void)session.update();
    }
    return session.finish();
}

const CommandRegistration kUpdate{Command{
    "update",
    "[--server-root ROOT] [--ca-file FILE] [--drive ID] [--volume PATH]... [--drive-flags N] "
    "[--app] [--json] [--verbose] [--log FILE]",
    "check, then bring the drive's maps (and with --app the maps application) up to date; "
    "Ctrl-C cancels",
    run_update}};

}  // namespace

}  // namespace atlasync::tool
