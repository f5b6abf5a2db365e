#pragma once

#include <QTimer>
#include <QWidget>

namespace atlasync::ui {

// A ring of dots, one of them lit, turning while the page waits for something
// without a measure of progress.
class CBusyAnimation : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDots = 12;
    static constexpr int kStepMs = 80;

    explicit CBusyAnimation(QWidget* parent = nullptr);

    void start();
    void stop();
    bool running() const { return m_timer.isActive(); }
    int step() const { return m_step; }

    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

}  // namespace atlasync::ui
