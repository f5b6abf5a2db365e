#pragma once

#include <QFont>
#include <QString>

namespace atlasync::ui {

// The families the wizard's two faces stand for. The texts name "Velka Sans"
// and "Velka Sans SemiBold"; both are the bundled Open Sans, at two weights.
inline constexpr const char* kBundledFamily = "Open Sans";
inline constexpr int kRegularWeight = 400;
inline constexpr int kSemiBoldWeight = 600;
inline constexpr int kBoldWeight = 700;

// A face of the mark-up as the family and weight that draw it.
struct FontFace {
    QString family;
    int weight = kRegularWeight;
};

// Known faces map to the bundled family; any other name is taken as the name
// of an installed family at regular weight.
FontFace font_face(const QString& face);

// The bundled family at a pixel size and weight, drawn smooth on any screen.
QFont bundled_font(int pixels, int weight = kRegularWeight);

// How much larger than drawn the window's texts and controls are: the user's
// font size over the 9 points the pages were laid out at, never below 1.
double ui_scale();
// A length of the page layout at the user's font size.
int scaled(int pixels);
// The bundled family at a pixel size of the page layout, at the user's font size.
QFont page_font(int pixels, int weight = kRegularWeight);

// Adds the fonts compiled into the program to the process; false when one of
// them could not be added (the text then falls back to the system's fonts).
bool register_bundled_fonts();

}  // namespace atlasync::ui
