#include "tests/ui/qt_test_support.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <thread>

namespace atlasync::testing {

QCoreApplication& qt_application() {
    // A GUI test's QApplication serves as well; there may be only one.
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        return *existing;
    }
    static int argc = 1;
    static char name[] = "atlasync_ui_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication* application = new QCoreApplication(argc, argv);
    return *application;
}

bool process_events_until(const std::function<bool()>& condition,
                          std::chrono::milliseconds timeout) {
    qt_application();
    QDeadlineTimer deadline(timeout.count());
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace atlasync::testing
