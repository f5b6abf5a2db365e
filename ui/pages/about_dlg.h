#pragma once

#include <QDialog>

namespace atlasync::ui {

// The about box: the program's product name and legal notice from its version
// information.
class CAboutDlg : public QDialog {
public:
    static constexpr int kTemplate = 100;
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace atlasync::ui
