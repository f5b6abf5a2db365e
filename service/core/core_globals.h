#pragma once

#include "service/core/sync.h"

namespace MapsService {

// Serialises the tracer's lazy creation and every trace line.
Mutex& tracer_lock();

}  // namespace MapsService
