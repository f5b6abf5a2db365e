#include "ui/controls/markup_label.h"

namespace atlasync::ui {

CMarkupLabel::CMarkupLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setOpenExternalLinks(true);
    setTextInteractionFlags(Qt::TextBrowserInteraction);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_base.face = QStringLiteral("Velka Sans SemiBold");
}

void CMarkupLabel::set_markup(const std::wstring& markup) {
    if (markup != m_markup) {
        m_markup = markup;
        render();
    }
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

void CMarkupLabel::render() {
    setText(markup_to_html(QString::fromStdWString(m_markup), m_base));
}

}  // namespace atlasync::ui
