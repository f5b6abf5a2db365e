#include "ui/text/console_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <QTimer>

#include <cerrno>

namespace atlasync::ui {

ConsoleInput::ConsoleInput(int fd, LineHandler handler) : m_fd(fd), m_handler(std::move(handler)) {
    if (::fcntl(fd, F_GETFD) < 0) {
        // A closed standard input: there is nothing to wait for, it is at its
        // end from the start (told once the loop runs, like any other end).
        m_atEnd = true;
        QTimer::singleShot(0, this, [this] { m_handler(std::nullopt); });
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { read_ready(); });
}

ConsoleInput::~ConsoleInput() = default;

void ConsoleInput::read_ready() {
    // One read per notification: the descriptor said it would not block now,
    // and a regular file or pipe with more to give reports ready again.
    char buffer[4096];
    ssize_t got = 0;
    do {
        got = ::read(m_fd, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && errno == EAGAIN) {
        return;
    }
    if (got <= 0) {
        // The end of input, or an input that cannot be read any more: either
        // way no answer will come from it.
        m_notifier->setEnabled(false);
        m_atEnd = true;
        if (!m_pending.empty()) {
            std::string last;
            last.swap(m_pending);
            deliver(std::move(last));
        }
        deliver(std::nullopt);
        return;
    }
    m_pending.append(buffer, static_cast<std::size_t>(got));
    std::size_t end = 0;
    while ((end = m_pending.find('\n')) != std::string::npos) {
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        deliver(std::move(line));
    }
}

void ConsoleInput::deliver(std::optional<std::string> line) {
    // The handler may wait in a nested event loop for the next line (a
    // question); from inside this notifier's own activation that line would
    // never be read. So lines are handed over from a queued call instead.
    QMetaObject::invokeMethod(
        this, [this, line = std::move(line)] { m_handler(line); }, Qt::QueuedConnection);
}

}  // namespace atlasync::ui
