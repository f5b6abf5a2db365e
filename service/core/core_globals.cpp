#include "service/core/core_globals.h"

#include "service/core/ini_file.h"

namespace MapsService {

namespace {

// The process-wide objects of the service core, created together in this order
// and never destroyed: code that traces from other static destructors at exit
// must still find the tracer lock and the settings.
struct CoreGlobals {
    Mutex tracerLock;
    CancelFlag cancelFlag;
    IniFile settings{"msapi.ini"};
};

CoreGlobals& globals() {
    static CoreGlobals* instance = new CoreGlobals();
    return *instance;
}

// Build them during static initialisation, before any thread can race for them.
[[maybe_unused]] const CoreGlobals& kEarly = globals();

}  // namespace

Mutex& tracer_lock() {
    return globals().tracerLock;
}
CancelFlag& service_cancel_flag() {
    return globals().cancelFlag;
}
IniFile& service_settings() {
    return globals().settings;
}

}  // namespace MapsService
