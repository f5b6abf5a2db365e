#include "service/core/failure_cause.h"

#include <mutex>

namespace MapsService {

namespace {

struct CauseSlot {
    std::mutex mutex;
    std::string cause;
    std::uint64_t noted = 0;
};

// Never destroyed: a download thread may still note a cause during exit.
CauseSlot& slot() {
    static CauseSlot* instance = new CauseSlot();
    return *instance;
}

}  // namespace

void note_failure_cause(const std::string& cause) {
    CauseSlot& s = slot();
    const std::lock_guard lock(s.mutex);
    s.cause = cause;
    ++s.noted;
}

std::uint64_t failure_causes_noted() {
    CauseSlot& s = slot();
    const std::lock_guard lock(s.mutex);
    return s.noted;
}

std::string failure_cause() {
    CauseSlot& s = slot();
    const std::lock_guard lock(s.mutex);
    return s.cause;
}

void clear_failure_cause() {
    note_failure_cause(std::string());
}

}  // namespace MapsService
