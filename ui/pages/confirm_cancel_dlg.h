#pragma once

#include <QDialog>

namespace atlasync::ui {

// "Are you sure you want to cancel?" with "Yes" and "No". The dialog ends
// with the id of the button pressed; closed any other way it ends with 2,
// which is no confirmation.
class CConfirmCancelDlg : public QDialog {
public:
    static constexpr int kTemplate = 147;
    static constexpr int kYes = 1021;
    static constexpr int kNo = 1020;
    static constexpr int kClosed = 2;

    explicit CConfirmCancelDlg(QWidget* parent = nullptr);

    void reject() override;
};

}  // namespace atlasync::ui
