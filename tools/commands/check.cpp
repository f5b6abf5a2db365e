// atlasync-tool check: asks the service what the wizard asks before an update.

#include "tools/command.h"
#include "tools/commands/service_session.h"

namespace atlasync::tool {

namespace {

int run_check(const std::vector<std::string>& args) {
    SessionOptions options;
    if (!parse_session_options("check", args, false, options)) {
        return 1;
    }
    ServiceSession session(std::move(options));
    (void)session.check();
    return session.finish();
}

const CommandRegistration kCheck{Command{
    "check",
    "[--server-root ROOT] [--drive ID] [--volume PATH]... [--drive-flags N] [--json] [--verbose] "
    "[--log FILE]",
    "run the wizard's checks: map server, phones and drives, map version, regions, download size",
    run_check}};

}  // namespace

}  // namespace atlasync::tool
