#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace atlasync::testing {

// The process's QApplication on the offscreen platform, with the bundled fonts
// registered; made on first use on the calling thread.
QApplication& gui_application();

// A test whose members may be widgets: the application exists before them.
class GuiTest : public ::testing::Test {
protected:
    GuiTest() { gui_application(); }
};

// Presses the button named buttonName of the next modal dialog that opens
// (found among the application's top-level widgets) once it is shown; with an
// empty name the dialog is closed (Escape) instead. Counts the answer in
// `answered` when given.
void answer_next_modal(const QString& buttonName, int* answered = nullptr);
// Clicks the modal dialog's button of that object name or text; a test
// failure, and Escape, when it has none.
void click_modal_button(QWidget* modal, const QString& buttonName);

// The signals the window handed on, in order.
struct SignalRecorder {
    std::vector<std::uint16_t> signals_;
    std::function<void(std::uint16_t)> target() {
        return [this](std::uint16_t signal) { signals_.push_back(signal); };
    }
};

// The widget's rectangle in the coordinates of the top-level window.
QRect window_rect(const QWidget& widget);

}  // namespace atlasync::testing
