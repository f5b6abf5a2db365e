#include "tests/support/own_mounts.h"

#include <sched.h>
#include <sys/mount.h>

namespace atlasync::testing {

bool own_mounts() {
    thread_local bool owned = false;
    if (!owned) {
        owned = ::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    return owned;
}

}  // namespace atlasync::testing
