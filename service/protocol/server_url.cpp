#include "service/protocol/server_url.h"

#include <mutex>

namespace MapsService {

namespace {

struct SourceSlot {
    std::mutex mutex;
    ServerUrlSource source;
};

SourceSlot& slot() {
    static SourceSlot* instance = new SourceSlot();
    return *instance;
}

}  // namespace

void set_server_url_source(ServerUrlSource source) {
    std::lock_guard lock(slot().mutex);
    slot().source = std::move(source);
}

std::wstring current_server_url() {
    ServerUrlSource source;
    {
        std::lock_guard lock(slot().mutex);
        source = slot().source;
    }
    return source ? source() : std::wstring();
}

}  // namespace MapsService
