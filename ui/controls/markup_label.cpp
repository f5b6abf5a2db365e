#include "ui/controls/markup_label.h"

#include <QEvent>
#include <QTextDocument>

#include "ui/controls/bundled_fonts.h"

namespace atlasync::ui {

CMarkupLabel::CMarkupLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setOpenExternalLinks(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_base.face = QStringLiteral("Velka Sans SemiBold");
    render();
}

void CMarkupLabel::set_markup(const std::wstring& markup) {
    if (markup != m_markup) {
        m_markup = markup;
        render();
    }
}

QString CMarkupLabel::plain_text() const {
    QTextDocument document;
    document.setHtml(text());
    return document.toPlainText().simplified();
}

void CMarkupLabel::set_base_pixel_size(int pixels) {
    m_base.pixelSize = pixels;
    render();
}

void CMarkupLabel::set_base_face(const QString& face) {
    m_base.face = face;
    render();
}

void CMarkupLabel::set_base(const MarkupBase& base) {
    m_base = base;
    render();
}

void CMarkupLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationFontChange) {
        render();
    }
}

void CMarkupLabel::render() {
    MarkupBase base = m_base;
    base.ink = palette().color(QPalette::WindowText).name();
    base.accent = palette().color(QPalette::Link).name();
    base.scale = ui_scale();
    const QString html = markup_to_html(QString::fromStdWString(m_markup), base);
    if (html == text()) {
        return;
    }
    setText(html);
    // Static text is passed over by Tab; a link in it stays reachable.
    const bool hasLink = html.contains(QLatin1String("<a "));
    setTextInteractionFlags(hasLink ? Qt::TextBrowserInteraction : Qt::NoTextInteraction);
    setFocusPolicy(hasLink ? Qt::StrongFocus : Qt::NoFocus);
    setAccessibleName(plain_text());
}

}  // namespace atlasync::ui
