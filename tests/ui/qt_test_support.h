#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

namespace atlasync::testing {

// The process's QCoreApplication, created on first use on the calling thread,
// which becomes the user-interface thread of the test.
QCoreApplication& qt_application();

// Runs the event loop until the condition holds or the time is up; answers the condition.
bool process_events_until(const std::function<bool()>& condition,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace atlasync::testing
