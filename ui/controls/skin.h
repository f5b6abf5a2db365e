#pragma once

#include <QString>

class QApplication;
class QPalette;

namespace atlasync::ui {

// Whether a palette is a light theme's, where the skin keeps its pale page; a
// dark one gets the theme's own.
bool light_theme(const QPalette& palette);

// The window skin: the style sheet compiled into the program, applied to the
// whole application for the skin's lifetime and taken off again after.
class CSkin {
public:
    static constexpr const char* kResource = ":/skin/atlasync.qss";

    // Applies the sheet; a missing sheet leaves the plain look.
    explicit CSkin(QApplication& application);
    ~CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    bool applied() const { return m_applied; }

private:
    QApplication& m_application;
    QString m_previous;
    bool m_applied = false;
};

}  // namespace atlasync::ui
