// Standard input and Ctrl-C reach the text front end through the event loop.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTimer>
#include <chrono>
#include <csignal>

#include "tests/ui/qt_test_support.h"
#include "ui/text/console_input.h"
#include "ui/text/interrupt_notifier.h"

namespace atlasync::testing {
namespace {

using namespace std::chrono_literals;

TEST(ConsoleInput, LinesArriveWholeAsTheyAreWrittenAndTheEndOnceAfterAnUnendedLastLine) {
    qt_application();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<std::string> lines;
    int ends = 0;
    ui::ConsoleInput input(fds[0], [&](std::optional<std::string> line) {
        line ? lines.push_back(*line) : void(++ends);
    });
    ASSERT_EQ(::write(fds[1], "yes\r\nno", 7), 7);
    ASSERT_TRUE(process_events_until([&] { return lines.size() == 1; }, 2s));
    EXPECT_EQ(lines[0], "yes");
    ASSERT_EQ(::write(fds[1], "pe\n2\n", 5), 5);
    ASSERT_TRUE(process_events_until([&] { return lines.size() == 3; }, 2s));
    EXPECT_EQ(lines[1], "nope");
    ASSERT_EQ(::write(fds[1], "last", 4), 4);
    ::close(fds[1]);
    ASSERT_TRUE(process_events_until([&] { return ends == 1; }, 2s));
    EXPECT_EQ(lines, (std::vector<std::string>{"yes", "nope", "2", "last"}));
    EXPECT_TRUE(input.at_end());
    process_events_until([] { return false; }, 50ms);
    EXPECT_EQ(ends, 1);
    ::close(fds[0]);
}

TEST(ConsoleInput, AClosedDescriptorIsAtItsEndOnceTheLoopRuns) {
    qt_application();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::close(fds[1]);
    int ends = 0;
    ui::ConsoleInput input(fds[0], [&](std::optional<std::string> line) {
        EXPECT_FALSE(line);
        ++ends;
    });
    EXPECT_TRUE(input.at_end());
    EXPECT_EQ(ends, 0);
    ASSERT_TRUE(process_events_until([&] { return ends == 1; }, 2s));
}

TEST(InterruptNotifier, CtrlCIsHandledOnTheEventLoopAndThePreviousHandlingComesBack) {
    qt_application();
    struct sigaction before {};
    ::sigaction(SIGINT, nullptr, &before);
    std::vector<int> seen;
    {
        ui::InterruptNotifier notifier([&](int signal) { seen.push_back(signal); });
        ::raise(SIGINT);
        ::raise(SIGINT);
        ASSERT_TRUE(process_events_until([&] { return seen.size() == 2; }, 2s));
        // Handled interrupts do not add up to the forced end.
        ::raise(SIGINT);
        ASSERT_TRUE(process_events_until([&] { return seen.size() == 3; }, 2s));
        EXPECT_EQ(seen, (std::vector<int>{SIGINT, SIGINT, SIGINT}));
    }
    struct sigaction after {};
    ::sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace atlasync::testing
