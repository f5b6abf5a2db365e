// atlasync-tool's message pump for the service commands.

#include "tools/commands/progress_printer.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

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

// Install messages carry the phone's figure first; the others the package's last.
double shown_percent(const Message& message) {
    return message.type == MSG_INSTALL_PROGRESS ? message.percent1 : message.percent2;
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
    while (m_printed.load() < mark) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
            ++m_printed;
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

void ProgressPrinter::print_progress(const Message& message) {
    const int whole = static_cast<int>(shown_percent(message));
    const char* title = progress_title(message.type);
    if (m_terminal) {
        constexpr int kWidth = 40;
        const int filled = whole * kWidth / 100;
        std::printf("\r%-8s [%.*s%*s] %3d%%", title, filled,
                    "########################################", kWidth - filled, "", whole);
        m_barShown = true;
        std::fflush(stdout);
        return;
    }
    // Lines: every step, and running progress once per whole percent.
    if (already_shown(message, whole)) {
        return;
    }
    std::printf("%s %s id %d: item %.0f%%, package %d%% (%llu bytes)\n", title,
                progress_kind_name(message.kind), message.id, message.percent1, whole,
                static_cast<unsigned long long>(message.bytes2));
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
    if (m_barShown) {
        std::printf("\n");
        m_barShown = false;
    }
}

}  // namespace atlasync::tool
