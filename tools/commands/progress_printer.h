#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <thread>

#include "service/core/message.h"

namespace atlasync::tool {

// The tool's message pump: prints the service's messages, progress as a bar on
// a terminal and as lines otherwise, and turns an interrupt (Ctrl-C) into the
// service's cancel. In JSON every message is one JSON line on stderr, so that
// stdout carries nothing but the command's document.
class ProgressPrinter {
public:
    enum class Form { Text, Json };
    explicit ProgressPrinter(Form form = Form::Text);
    // Ends the pump through the queue's finish message.
    ~ProgressPrinter();
    ProgressPrinter(const ProgressPrinter&) = delete;
    ProgressPrinter& operator=(const ProgressPrinter&) = delete;

    // Returns once every message posted before the call was printed.
    void flush();
    bool interrupted() const;

private:
    void run();
    void print(const MapsService::Message& message);
    void print_progress(const MapsService::Message& message);
    void end_bar();
    // Whether running progress would repeat the whole percent shown last for
    // its type; remembers the percent otherwise.
    bool already_shown(const MapsService::Message& message, int whole);

    const Form m_form;
    const bool m_terminal;
    bool m_barShown = false;
    // Last whole percent shown per message type: the next item downloads
    // while the last one is unpacked, and their messages alternate.
    std::map<std::int32_t, int> m_lastPercent;
    std::atomic<std::uint64_t> m_posted{0};
    std::atomic<std::uint64_t> m_printed{0};
    std::thread m_thread;
};

}  // namespace atlasync::tool
