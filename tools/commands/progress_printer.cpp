// atlasync-tool's message pump for the service commands.

#include "tools/commands/progress_printer.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tools/commands/json_output.h"
#include "tools/interrupt.h"

namespace atlasync::tool {

namespace {

using namespace MapsService;

// A message of its own type marks how far the pump has printed.
constexpr std::int32_t kFlushMarker = -1;

const char* progress_title(std::int32_t type) {
    switch (type) {
        case MSG_DOWNLOAD_PROGRESS:
            return "download";
        case MSG_UNZIP_PROGRESS:
            return "unpack";
        case MSG_DELETE_PROGRESS:
            return "delete";
        default:
            return "install";
    }
}

bool is_progress(std::int32_t type) {
    return type == MSG_DOWNLOAD_PROGRESS || type == MSG_UNZIP_PROGRESS ||
           type == MSG_DELETE_PROGRESS || type == MSG_INSTALL_PROGRESS;
}

// Download and unpack messages carry the package's figures second; delete
// and install messages have only their first.
bool package_figures_second(std::int32_t type) {
    return type == MSG_DOWNLOAD_PROGRESS || type == MSG_UNZIP_PROGRESS;
}

double shown_percent(const Message& message) {
    return package_figures_second(message.type) ? message.percent2 : message.percent1;
}

constexpr double kMebibyte = 1024.0 * 1024.0;

double percent_of_bytes(std::uint64_t done, std::uint64_t total) {
    return total == 0
               ? 100.0
               : std::min(100.0, static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

std::string mebibytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / kMebibyte);
    return text;
}

// "1:05" or "2:01:05".
std::string clock_time(std::uint64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                      static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned long long>(seconds / 60 % 60),
                      static_cast<unsigned long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu",
                      static_cast<unsigned long long>(seconds / 60),
                      static_cast<unsigned long long>(seconds % 60));
    }
    return text;
}

}  // namespace

ProgressPrinter::ProgressPrinter(Form form)
    : m_form(form), m_terminal(form == Form::Text && isatty(STDOUT_FILENO) != 0) {
    catch_interrupts();
    m_thread = std::thread([this] { run(); });
}

ProgressPrinter::~ProgressPrinter() {
    (void)post_finish();
    m_thread.join();
    end_bar();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool ProgressPrinter::interrupted() const {
    return ::atlasync::tool::interrupted();
}

void ProgressPrinter::flush() {
    const std::uint64_t mark = ++m_posted;
    message_queue().add_message(Message(kFlushMarker));
    std::unique_lock lock(m_printedMutex);
    m_printedChanged.wait(lock, [&] { return m_printed >= mark; });
}

void ProgressPrinter::run() {
    bool cancelled = false;
    for (;;) {
        if (interrupted() && !cancelled) {
            cancelled = true;
            end_bar();
            if (m_form == Form::Json) {
                std::fprintf(stderr, "%s\n", interrupted_json().c_str());
            } else {
                std::printf("Interrupted: cancelling.\n");
                std::fflush(stdout);
            }
            (void)cancel_operation();
        }
        Message message;
        if (get_message(message, 100) != kResultOk || message.type == MSG_NOTHING) {
            continue;
        }
        if (message.type == MSG_FINISH) {
            return;
        }
        if (message.type == kFlushMarker) {
            // Whoever waits for the flush prints next: on a line of its own.
            end_bar();
            {
                const std::lock_guard lock(m_printedMutex);
                ++m_printed;
            }
            m_printedChanged.notify_all();
            continue;
        }
        print(message);
    }
}

void ProgressPrinter::print(const Message& message) {
    if (m_form == Form::Json) {
        // Running progress once per whole percent, like the text lines.
        const int whole = static_cast<int>(shown_percent(message));
        if (!is_progress(message.type)) {
            m_lastPercent.clear();
        } else if (already_shown(message, whole)) {
            return;
        }
        std::fprintf(stderr, "%s\n", message_json(message).c_str());
        return;
    }
    if (is_progress(message.type)) {
        print_progress(message);
        return;
    }
    end_bar();
    std::printf("%s\n", to_narrow(describe_message(message)).c_str());
    std::fflush(stdout);
}

ProgressPrinter::Phase& ProgressPrinter::phase_of(std::int32_t type) {
    for (Phase& phase : m_phases) {
        if (phase.type == type) {
            return phase;
        }
    }
    Phase& phase = m_phases.emplace_back();
    phase.type = type;
    phase.started = phase.lastTime = Clock::now();
    if (type == MSG_UNZIP_PROGRESS) {
        phase.total = m_unpackTotal;
    }
    return phase;
}

void ProgressPrinter::advance(Phase& phase, std::uint64_t done, double percent) {
    const auto now = Clock::now();
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - phase.lastTime).count();
    if (done > phase.lastDone && elapsed > 0) {
        phase.rates.add(static_cast<double>(done - phase.lastDone) / static_cast<double>(elapsed));
        phase.lastDone = done;
        phase.lastTime = now;
    }
    // The service's figures never go back; a late message changes nothing shown.
    phase.done = std::max(phase.done, done);
    phase.percent = std::clamp(std::max(phase.percent, percent), 0.0, 100.0);
}

std::string ProgressPrinter::figures(const Phase& phase) const {
    std::string text = mebibytes(phase.done);
    if (phase.total > 0) {
        text += " of " + mebibytes(phase.total);
    }
    text += " MiB";
    const double seconds = std::chrono::duration<double>(phase.lastTime - phase.started).count();
    if (seconds > 0.0 && phase.lastDone > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, ", %.2f MiB/s",
                      static_cast<double>(phase.lastDone) / kMebibyte / seconds);
        text += rate;
    }
    if (phase.finished) {
        return text;
    }
    const auto left = phase.total > phase.done
                          ? phase.rates.remaining_milliseconds(phase.total - phase.done)
                          : std::nullopt;
    if (left) {
        text += ", " + clock_time((*left + 999) / 1000) + " left";
    }
    return text;
}

std::string ProgressPrinter::bar_line(const Phase& phase) const {
    constexpr int kWidth = 30;
    const int whole = static_cast<int>(phase.percent);
    const int filled = whole * kWidth / 100;
    char head[96];
    std::snprintf(head, sizeof head, "%-8s [%s%*s] %3d %%  ", progress_title(phase.type),
                  std::string(static_cast<std::size_t>(filled), '#').c_str(), kWidth - filled, "",
                  whole);
    return head + figures(phase);
}

void ProgressPrinter::redraw(bool force) {
    const auto now = Clock::now();
    if (!force && m_linesDrawn > 0 && now - m_lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    // A line wider than the terminal would wrap, and the cursor would go up
    // too few lines at the next redraw.
    winsize size{};
    const std::size_t width = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1
                                  ? size.ws_col - 1u
                                  : std::string::npos;
    std::string lines;
    for (std::size_t i = 0; i < m_phases.size(); ++i) {
        lines +=
            (i == 0 ? "" : "\n") + std::string("\x1b[2K") + bar_line(m_phases[i]).substr(0, width);
    }
    if (m_linesDrawn == static_cast<int>(m_phases.size()) && lines == m_drawn) {
        return;  // a redraw of the same would only flicker
    }
    std::string out = "\r";
    if (m_linesDrawn > 1) {
        out += "\x1b[" + std::to_string(m_linesDrawn - 1) + "A";
    }
    out += lines;
    m_drawn = std::move(lines);
    m_lastDraw = now;
    m_linesDrawn = static_cast<int>(m_phases.size());
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
}

void ProgressPrinter::print_step_line(const Message& message, const Phase& phase) {
    const char* title = progress_title(message.type);
    if (message.type == MSG_INSTALL_PROGRESS) {
        std::printf("%s step %d: %s\n", title, message.kind, figures(phase).c_str());
    } else if (message.kind == PACKAGE_STARTED || message.kind == PACKAGE_FINISHED) {
        std::printf("%s %s: %s, result %d\n", title, progress_kind_name(message.kind),
                    figures(phase).c_str(), message.result);
    } else {
        std::printf("%s %s id %d: item %s MiB, package %s\n", title,
                    progress_kind_name(message.kind), message.id, mebibytes(message.bytes1).c_str(),
                    figures(phase).c_str());
    }
}

void ProgressPrinter::print_progress(const Message& message) {
    if (message.kind == PACKAGE_STARTED) {
        end_bar();
        // A new package: the download's comes with its unpacking.
        std::erase_if(m_phases, [&](const Phase& phase) {
            return phase.type == message.type ||
                   (message.type == MSG_DOWNLOAD_PROGRESS && phase.type == MSG_UNZIP_PROGRESS);
        });
        if (message.type == MSG_DOWNLOAD_PROGRESS) {
            m_unpackTotal = message.bytes2;
        }
    }
    Phase& phase = phase_of(message.type);
    const bool second = package_figures_second(message.type);
    if (message.kind == PACKAGE_STARTED) {
        phase.total = message.bytes1;
    } else if (message.type == MSG_DOWNLOAD_PROGRESS && message.kind == PACKAGE_FINISHED) {
        // The download's end carries both totals done: it ends the unpacking too.
        advance(phase, message.bytes1, percent_of_bytes(message.bytes1, phase.total));
        for (Phase& other : m_phases) {
            if (other.type == MSG_UNZIP_PROGRESS) {
                advance(other, message.bytes2, message.percent2);
                other.finished = true;
            }
        }
    } else if (message.type == MSG_INSTALL_PROGRESS) {
        if (message.bytes2 > 0) {
            phase.total = message.bytes2;
        }
        advance(phase, message.bytes1, message.percent1);
    } else {
        advance(phase, second ? message.bytes2 : message.bytes1,
                second ? message.percent2 : message.percent1);
    }
    phase.finished = phase.finished || message.kind == PACKAGE_FINISHED;
    const bool step = message.kind != ITEM_PROGRESS;

    if (m_terminal) {
        redraw(step);
        if (message.kind == PACKAGE_FINISHED) {
            end_bar();
            m_phases.clear();
        }
        return;
    }
    // Lines: every step, and running progress once every tenth.
    const int tenth = static_cast<int>(phase.percent) / 10;
    if (step) {
        print_step_line(message, phase);
        phase.linesShown = std::max(phase.linesShown, tenth);
    } else if (tenth > phase.linesShown) {
        phase.linesShown = tenth;
        std::printf("%s %d %%: %s\n", progress_title(message.type), tenth * 10,
                    figures(phase).c_str());
    }
    if (message.kind == PACKAGE_FINISHED) {
        for (const Phase& other : m_phases) {
            if (other.type != message.type && other.finished) {
                std::printf("%s finished: %s\n", progress_title(other.type),
                            figures(other).c_str());
            }
        }
        m_phases.clear();
    }
    std::fflush(stdout);
}

bool ProgressPrinter::already_shown(const Message& message, int whole) {
    const auto last = m_lastPercent.find(message.type);
    if (message.kind == ITEM_PROGRESS && last != m_lastPercent.end() && last->second == whole) {
        return true;
    }
    m_lastPercent[message.type] = whole;
    return false;
}

void ProgressPrinter::end_bar() {
    if (m_terminal && m_linesDrawn > 0) {
        redraw(true);
        std::printf("\n");
        std::fflush(stdout);
    }
    // The phases go on in a block of their own below what comes now.
    m_linesDrawn = 0;
}

}  // namespace atlasync::tool
