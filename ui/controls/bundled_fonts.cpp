#include "ui/controls/bundled_fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <cmath>

#include "service/core/trace.h"
#include "ui/controls/resources.h"

namespace atlasync::ui {

FontFace font_face(const QString& face) {
    const QString name = face.trimmed();
    if (name.compare(QLatin1String("Velka Sans"), Qt::CaseInsensitive) == 0) {
        return {QString::fromLatin1(kBundledFamily), kRegularWeight};
    }
    if (name.compare(QLatin1String("Velka Sans SemiBold"), Qt::CaseInsensitive) == 0) {
        return {QString::fromLatin1(kBundledFamily), kSemiBoldWeight};
    }
    return {name, kRegularWeight};
}

QFont bundled_font(int pixels, int weight) {
    QFont font(QString::fromLatin1(kBundledFamily));
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

double ui_scale() {
    constexpr double kLaidOutPoints = 9.0;
    const double points = QGuiApplication::font().pointSizeF();
    return points > kLaidOutPoints ? points / kLaidOutPoints : 1.0;
}

int scaled(int pixels) {
    return static_cast<int>(std::lround(pixels * ui_scale()));
}

QFont page_font(int pixels, int weight) {
    return bundled_font(scaled(pixels), weight);
}

bool register_bundled_fonts() {
    static const char* const kFonts[] = {
        ":/fonts/OpenSans-Regular.ttf",
        ":/fonts/OpenSans-Semibold.ttf",
        ":/fonts/OpenSans-Bold.ttf",
    };
    use_resources();
    bool all = true;
    for (const char* font : kFonts) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(font)) < 0) {
            MapsService::TraceError("cannot add the font %s", font);
            all = false;
        }
    }
    return all;
}

}  // namespace atlasync::ui
