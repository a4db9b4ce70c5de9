#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QPalette;
class QPushButton;

namespace pylon::ui {

// The colours the views give their symbols and texts. The named system colours map to fixed values
// (the same on light and dark backgrounds); `secondary` follows the palette's text colour.
enum class Tint {
    primary,   // the palette's text colour
    secondary, // the palette's text colour, dimmed
    green,
    gray,
    yellow,
    red,
    orange,
};

QColor tintColor(Tint tint, const QPalette& palette);
// The tint against the application's palette.
QColor tintColor(Tint tint);

// The accent colour of prominent buttons.
QColor accentColor();

// Text sizes relative to the application's font: body is the font itself.
enum class TextStyle {
    body,
    headline, // body, semibold
    callout,
    caption,
};

QFont styledFont(TextStyle style);
// A font of `pixelSize` pixels in the application's family.
QFont fontOfPixelSize(int pixelSize, QFont::Weight weight = QFont::Normal);

// Gives `label` the font of `style` and the colour of `tint`, with word wrap for longer texts.
void styleLabel(QLabel* label, TextStyle style, Tint tint);

// Draws `button` as the one prominent (accent-filled) button of its group.
void makeProminent(QPushButton* button);

} // namespace pylon::ui
