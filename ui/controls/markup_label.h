#pragma once

#include <QLabel>
#include <string>

#include "ui/controls/markup.h"

namespace atlasync::ui {

// A label that shows the wizard's mark-up. It keeps the mark-up it was given,
// so the base size or face may change afterwards. The texts' black and blue
// follow the theme, sizes follow the user's font size, and the label takes the
// keyboard focus only when it holds a link. Its accessible name is its text.
class CMarkupLabel : public QLabel {
    Q_OBJECT

public:
    explicit CMarkupLabel(QWidget* parent = nullptr);

    void set_markup(const std::wstring& markup);
    const std::wstring& markup() const { return m_markup; }
    // The text as a screen reader reads it.
    QString plain_text() const;

    // The size and face the text starts with, before any font tag.
    void set_base_pixel_size(int pixels);
    void set_base_face(const QString& face);
    void set_base(const MarkupBase& base);
    const MarkupBase& base() const { return m_base; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void render();

    std::wstring m_markup;
    MarkupBase m_base;
};

}  // namespace atlasync::ui
