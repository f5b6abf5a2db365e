#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace atlasync::ui {

// Turns SIGINT (Ctrl-C) and SIGTERM into calls on the event loop's thread.
// The signal handler only writes the signal's number into a pipe, which is
// all a handler may safely do; the handler here runs later, outside it. A
// third interrupt that was not dealt with in between ends the program the
// default way, for a run that no longer answers. One notifier at a time.
class InterruptNotifier : public QObject {
public:
    using Handler = std::function<void(int signal)>;

    explicit InterruptNotifier(Handler handler);
    // The signals' previous handling comes back.
    ~InterruptNotifier() override;
    InterruptNotifier(const InterruptNotifier&) = delete;
    InterruptNotifier& operator=(const InterruptNotifier&) = delete;

private:
    void read_signals();

    Handler m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace atlasync::ui
