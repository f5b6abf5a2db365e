#include "tests/gui/gui_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include "ui/controls/bundled_fonts.h"

namespace atlasync::testing {

QApplication& gui_application() {
    static int argc = 1;
    static char name[] = "atlasync_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* app = new QApplication(argc, argv);
        ui::register_bundled_fonts();
        return app;
    }();
    return *application;
}

void answer_next_modal(const QString& buttonName, int* answered) {
    // Polls from inside the dialog's own event loop.
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, buttonName, answered] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (answered != nullptr) {
            ++*answered;
        }
        if (buttonName.isEmpty()) {
            QTest::keyClick(modal, Qt::Key_Escape);
            return;
        }
        click_modal_button(modal, buttonName);
    });
    timer->start();
}

void click_modal_button(QWidget* modal, const QString& buttonName) {
    for (auto* button : modal->findChildren<QAbstractButton*>()) {
        if (button->objectName() == buttonName || button->text().remove('&') == buttonName) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no button " << buttonName.toStdString() << " in the modal dialog";
    QTest::keyClick(modal, Qt::Key_Escape);
}

QRect window_rect(const QWidget& widget) {
    return QRect(widget.mapTo(widget.window(), QPoint(0, 0)), widget.size());
}

}  // namespace atlasync::testing

// Fontconfig keeps caches it never frees; they are not ours to find.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
