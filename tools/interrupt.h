#pragma once

namespace atlasync::tool {

// Ctrl-C and SIGTERM set a flag instead of ending the process, so a command can
// cancel its work and shut the service down in order.
void catch_interrupts();
bool interrupted();

}  // namespace atlasync::tool
