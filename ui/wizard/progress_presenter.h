#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/messaging/progress_observer.h"

namespace atlasync::ui {

// What the download page shows of a transfer.
struct ProgressFigures {
    std::optional<std::wstring> text;  // none: the text shown stays
    double percent = 0;
};

// The download page's progress rules. The text is rewritten at most once a
// second, so that it can be read, except that a transfer that just finished
// shows its last figures at once; the bar follows every message.
class ProgressPresenter {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit ProgressPresenter(Clock clock) : m_clock(std::move(clock)) {}

    // A new page: its first figures are written whenever they come.
    void restart();

    // The maps application's download: megabytes and the time left.
    ProgressFigures application_download(const CProgressObserver& progress);
    // Its hand-over to the phone: megabytes, every message.
    static ProgressFigures application_transfer(const CProgressObserver& progress);
    // The map data: downloads and their unpacking onto the phone, one bar.
    ProgressFigures map_data_transfer(const CProgressObserver& progress);
    // The wipe before it: the bar alone.
    static ProgressFigures map_data_removal(const CProgressObserver& progress);

private:
    // True when the text may be rewritten now.
    bool text_due(bool transferFinished);

    Clock m_clock;
    std::chrono::steady_clock::time_point m_lastText;
    bool m_textWritten = false;
    bool m_finalFiguresShown = false;
};

}  // namespace atlasync::ui
