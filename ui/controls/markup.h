#pragma once

#include <QString>
#include <QStringView>

namespace atlasync::ui {

// The look a mark-up text starts with: the label's own font.
struct MarkupBase {
    QString face;  // a mark-up face name ("Velka Sans SemiBold") or a family
    int pixelSize = 12;
    QString color = QStringLiteral("black");
    // What the texts' own "black" and "blue" are drawn in: the theme's text and
    // link colours, so a text stays readable on a dark page. Empty keeps them.
    QString ink{};
    QString accent{};
    // Every pixel size, the base's and the tags', grows by it.
    double scale = 1.0;
};

// Turns the wizard's mark-up into the rich text a Qt label renders:
//   <font face=".." size="16px|80%" color="..">  (unclosed tags last to the end)
//   <b>, <br>, a line feed as a line break, <a href="..">.
// Sizes in percent are of the size around the tag. Plain text is escaped;
// unknown tags are dropped, so a stray '<' in a name cannot break the page.
QString markup_to_html(QStringView markup, const MarkupBase& base);

}  // namespace atlasync::ui
