#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace atlasync::ui {

// The splash: our picture with the tagline and "beta" drawn into it, shown
// without a frame, its transparent corners letting the desktop through.
class CSplashDlg : public QWidget {
public:
    static constexpr const char* kImage = ":/images/splash.png";
    static constexpr int kTaglinePixels = 16;
    static constexpr int kBetaPixels = 36;
    static constexpr QPoint kBetaAt{137, 220};

    explicit CSplashDlg(QWidget* parent = nullptr);

    // What is shown: the image with its texts, premultiplied by its alpha.
    const QImage& image() const { return m_image; }

    // Called when the user asks for the language page: L pressed on the splash.
    void on_language_request(std::function<void()> request);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage m_image;
    std::function<void()> m_languageRequest;
};

}  // namespace atlasync::ui
