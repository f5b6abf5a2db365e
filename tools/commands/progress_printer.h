#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/core/message.h"
#include "service/core/rate_estimator.h"

namespace atlasync::tool {

// The tool's message pump: prints the service's messages and turns an
// interrupt (Ctrl-C) into the service's cancel. On a terminal each running
// phase (download, unpack, delete, install) has a line of its own, redrawn in
// place and ended before anything else is printed; otherwise each phase's
// start and end, each item step and one progress line every 10 % are plain
// lines. In JSON every message is one JSON line on stderr, so that stdout
// carries nothing but the command's document.
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
    using Clock = std::chrono::steady_clock;

    // One phase's figures, from its package's messages.
    struct Phase {
        std::int32_t type = 0;    // the message type it follows
        std::uint64_t total = 0;  // bytes
        std::uint64_t done = 0;   // bytes
        double percent = 0.0;     // 0 to 100, as the service counts it
        bool finished = false;
        Clock::time_point started;
        Clock::time_point lastTime;
        std::uint64_t lastDone = 0;
        MapsService::RateEstimator rates{20};
        int linesShown = -1;  // the last tenth of a hundred written as a line
    };

    void run();
    void print(const MapsService::Message& message);
    void print_progress(const MapsService::Message& message);
    // The phase a message advances, started when it is new.
    Phase& phase_of(std::int32_t type);
    void advance(Phase& phase, std::uint64_t done, double percent);
    std::string figures(const Phase& phase) const;
    std::string bar_line(const Phase& phase) const;
    void print_step_line(const MapsService::Message& message, const Phase& phase);
    // Redraws the terminal's phase lines; quiet within a tenth of a second
    // of the last redraw unless forced.
    void redraw(bool force);
    void end_bar();
    // Whether running progress would repeat the whole percent shown last for
    // its type; remembers the percent otherwise.
    bool already_shown(const MapsService::Message& message, int whole);

    const Form m_form;
    const bool m_terminal;
    // The phases of the running package in the order they appeared; a
    // finished block is printed and forgotten.
    std::vector<Phase> m_phases;
    std::uint64_t m_unpackTotal = 0;  // the download package's bytes to write
    int m_linesDrawn = 0;             // terminal lines of the block on screen
    Clock::time_point m_lastDraw;
    std::string m_drawn;  // the block's lines as last drawn
    // Last whole percent in JSON per message type: the next item downloads
    // while the last one is unpacked, and their messages alternate.
    std::map<std::int32_t, int> m_lastPercent;
    std::atomic<std::uint64_t> m_posted{0};
    std::mutex m_printedMutex;
    std::condition_variable m_printedChanged;
    std::uint64_t m_printed = 0;  // flush marks printed, under m_printedMutex
    std::thread m_thread;
};

}  // namespace atlasync::tool
