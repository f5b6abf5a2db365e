#include "ui/text/interrupt_notifier.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace atlasync::ui {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<int> g_unhandled{0};
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

constexpr int kForceAfter = 3;

void on_signal(int signal) {
    const int savedErrno = errno;
    if (signal == SIGINT && g_unhandled.fetch_add(1) + 1 >= kForceAfter) {
        ::signal(SIGINT, SIG_DFL);
        ::raise(SIGINT);
    }
    const char number = static_cast<char>(signal);
    // A full pipe already holds enough wake-ups.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = savedErrno;
}

}  // namespace

InterruptNotifier::InterruptNotifier(Handler handler) : m_handler(std::move(handler)) {
    if (g_pipe[0] >= 0) {
        throw std::logic_error("InterruptNotifier: one at a time");
    }
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("InterruptNotifier: no pipe");
    }
    g_unhandled = 0;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this,
                     [this] { read_signals(); });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
}

InterruptNotifier::~InterruptNotifier() {
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void InterruptNotifier::read_signals() {
    char numbers[16];
    ssize_t got = 0;
    while ((got = ::read(g_pipe[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            m_handler(numbers[i]);
        }
    }
    g_unhandled = 0;
}

}  // namespace atlasync::ui
