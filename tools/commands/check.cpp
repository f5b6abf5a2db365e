// atlasync-tool check: asks the service what the wizard asks before an update.

#include "exit_codes/exit_codes.h"
#include "tools/command.h"
#include "tools/commands/service_session.h"

namespace atlasync::tool {

namespace {

int run_check(const std::vector<std::string>& args) {
    SessionOptions options;
    if (!parse_session_options("check", args, false, options)) {
        return kExitUsage;
    }
    ServiceSession session(std::move(options));
    const bool checked = session.check();
    // A script asks whether there is an update by the status alone.
    return session.finish(checked && session.update_offered() ? kExitUpdateOffered : kExitOk);
}

const CommandRegistration kCheck{Command{
    "check",
    "[--server-root ROOT] [--ca-file FILE] [--drive ID] [--volume PATH]... [--drive-flags N] "
    "[--json] [--verbose] [--log FILE]",
    "run the wizard's checks: map server, phones and drives, map version, regions, download "
    "size; ends with 0 when the drive is current, 99 when an update is offered",
    run_check}};

}  // namespace

}  // namespace atlasync::tool
