#include "ui/controls/resources.h"

#include <QtGlobal>
#include <mutex>

// Q_INIT_RESOURCE names a global function; it cannot be called from inside a namespace.
static void init_atlasync_resources() {
    Q_INIT_RESOURCE(atlasync);
}

namespace atlasync::ui {

void use_resources() {
    static std::once_flag once;
    std::call_once(once, init_atlasync_resources);
}

}  // namespace atlasync::ui
