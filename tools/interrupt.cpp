#include "tools/interrupt.h"

#include <atomic>
#include <csignal>

namespace atlasync::tool {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void on_interrupt(int) {
    g_interrupted.store(true);
}

}  // namespace

void catch_interrupts() {
    g_interrupted.store(false);
    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
}

bool interrupted() {
    return g_interrupted.load();
}

}  // namespace atlasync::tool
