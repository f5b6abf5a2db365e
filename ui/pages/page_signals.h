#pragma once

#include <cstdint>

namespace atlasync::ui {

// Where the pages' buttons send their signals: the window that hosts them
// hands them on to the state machine.
class PageSignals {
public:
    virtual ~PageSignals() = default;
    virtual void page_signal(std::uint16_t signal) = 0;
};

}  // namespace atlasync::ui
