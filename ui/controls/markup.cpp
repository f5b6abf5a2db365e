#include "ui/controls/markup.h"

#include <QColor>
#include <QRegularExpression>
#include <vector>

#include "ui/controls/bundled_fonts.h"

namespace atlasync::ui {

namespace {

enum class Opener { Base, Font, Bold, Link };

struct Style {
    Opener opener = Opener::Base;
    FontFace face;
    int pixelSize = 12;
    QString color;
    bool bold = false;
    QString href;  // the link this run belongs to; empty outside links
};

struct Tag {
    QString name;  // lower case, "/" in front for a closing tag
    QString attributes;
};

// The value of one attribute, quoted or not; null when absent.
QString attribute(const QString& attributes, const QString& name) {
    static const QRegularExpression kAttribute(
        QStringLiteral(R"re(([A-Za-z-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    for (auto it = kAttribute.globalMatch(attributes); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(1).compare(name, Qt::CaseInsensitive) == 0) {
            for (int group = 2; group <= 4; ++group) {
                if (match.capturedStart(group) >= 0) {
                    return match.captured(group);
                }
            }
        }
    }
    return {};
}

// "16px", "16" (pixels, grown by the scale) or "80%" (of the size around); the
// size around when the value makes no sense.
int font_size(const QString& value, int around, double scale) {
    QString number = value.trimmed();
    bool percent = false;
    if (number.endsWith(QLatin1Char('%'))) {
        percent = true;
        number.chop(1);
    } else if (number.endsWith(QLatin1String("px"), Qt::CaseInsensitive)) {
        number.chop(2);
    }
    bool ok = false;
    const double size = number.trimmed().toDouble(&ok);
    if (!ok || size <= 0) {
        return around;
    }
    const int pixels = percent ? qRound(around * size / 100.0) : qRound(size * scale);
    return qBound(1, pixels, 400);
}

QString css(const Style& style) {
    return QStringLiteral("font-family:'%1'; font-weight:%2; font-size:%3px; color:%4")
        .arg(style.face.family)
        .arg(style.bold ? std::max(style.face.weight, kBoldWeight) : style.face.weight)
        .arg(style.pixelSize)
        .arg(style.color);
}

class Translator {
public:
    explicit Translator(const MarkupBase& base) : m_base(base) {
        Style first;
        first.face = font_face(base.face);
        first.pixelSize = qBound(1, qRound(base.pixelSize * base.scale), 400);
        const QColor color(base.color);
        first.color = color.isValid() ? themed(color) : QStringLiteral("#000000");
        m_stack.push_back(first);
    }

    void text(QStringView run) {
        if (!run.isEmpty()) {
            emit_run(run.toString().toHtmlEscaped());
        }
    }

    void line_break() { emit_run(QStringLiteral("<br/>")); }

    void tag(const Tag& tag) {
        if (tag.name == QLatin1String("br") || tag.name == QLatin1String("br/")) {
            line_break();
        } else if (tag.name == QLatin1String("b")) {
            Style style = m_stack.back();
            style.opener = Opener::Bold;
            style.bold = true;
            m_stack.push_back(style);
        } else if (tag.name == QLatin1String("font")) {
            m_stack.push_back(font(tag.attributes));
        } else if (tag.name == QLatin1String("a")) {
            Style style = m_stack.back();
            style.opener = Opener::Link;
            style.href = attribute(tag.attributes, QStringLiteral("href"));
            m_stack.push_back(style);
        } else if (tag.name == QLatin1String("/b")) {
            close(Opener::Bold);
        } else if (tag.name == QLatin1String("/font")) {
            close(Opener::Font);
        } else if (tag.name == QLatin1String("/a")) {
            close(Opener::Link);
        }
    }

    QString result() const { return m_html; }

private:
    Style font(const QString& attributes) const {
        Style style = m_stack.back();
        style.opener = Opener::Font;
        const QString face = attribute(attributes, QStringLiteral("face"));
        if (!face.isEmpty()) {
            style.face = font_face(face);
        }
        const QString size = attribute(attributes, QStringLiteral("size"));
        if (!size.isEmpty()) {
            style.pixelSize = font_size(size, style.pixelSize, m_base.scale);
        }
        const QString color = attribute(attributes, QStringLiteral("color"));
        const QColor parsed(color);
        if (parsed.isValid()) {
            style.color = themed(parsed);
        }
        return style;
    }

    QString themed(const QColor& color) const {
        if (color == QColor(Qt::black) && QColor(m_base.ink).isValid()) {
            return QColor(m_base.ink).name();
        }
        if (color == QColor(Qt::blue) && QColor(m_base.accent).isValid()) {
            return QColor(m_base.accent).name();
        }
        return color.name();
    }

    // Closes the innermost open tag of the kind and every tag opened inside it.
    void close(Opener opener) {
        for (std::size_t i = m_stack.size(); i-- > 1;) {
            if (m_stack[i].opener == opener) {
                m_stack.resize(i);
                return;
            }
        }
    }

    void emit_run(const QString& content) {
        const Style& style = m_stack.back();
        QString span = QStringLiteral("<span style=\"%1\">%2</span>").arg(css(style), content);
        if (!style.href.isEmpty()) {
            span = QStringLiteral("<a href=\"%1\">%2</a>").arg(style.href.toHtmlEscaped(), span);
        }
        m_html += span;
    }

    const MarkupBase& m_base;
    std::vector<Style> m_stack;
    QString m_html;
};

// A tag at position i ('<' there): its name and attributes, and where it ends;
// none when the '<' does not open a tag.
bool read_tag(QStringView markup, qsizetype i, Tag& tag, qsizetype& end) {
    end = markup.indexOf(QLatin1Char('>'), i + 1);
    if (end < 0) {
        return false;
    }
    const QStringView inside = markup.mid(i + 1, end - i - 1).trimmed();
    if (inside.isEmpty() || inside.contains(QLatin1Char('<'))) {
        return false;
    }
    qsizetype nameEnd = 0;
    while (nameEnd < inside.size() && !inside[nameEnd].isSpace()) {
        ++nameEnd;
    }
    tag.name = inside.left(nameEnd).toString().toLower();
    tag.attributes = inside.mid(nameEnd).toString();
    if (tag.name.size() > 1 && tag.name.endsWith(QLatin1Char('/')) &&
        tag.name != QLatin1String("br/")) {
        tag.name.chop(1);
    }
    const QStringView bare = QStringView(tag.name).mid(tag.name.startsWith(QLatin1Char('/')));
    return !bare.isEmpty() && bare[0].isLetter();
}

}  // namespace

QString markup_to_html(QStringView markup, const MarkupBase& base) {
    Translator translator(base);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const QChar c = markup[i];
        if (c == QLatin1Char('\n')) {
            translator.text(markup.mid(runStart, i - runStart));
            translator.line_break();
            runStart = i + 1;
        } else if (c == QLatin1Char('<')) {
            Tag tag;
            qsizetype end = 0;
            if (read_tag(markup, i, tag, end)) {
                translator.text(markup.mid(runStart, i - runStart));
                translator.tag(tag);
                i = end;
                runStart = end + 1;
            }
        }
    }
    translator.text(markup.mid(runStart));
    return translator.result();
}

}  // namespace atlasync::ui
