#include "ui/common/Style.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace pylon::ui {

QColor tintColor(Tint tint, const QPalette& palette) {
    switch (tint) {
    case Tint::primary:
        return palette.color(QPalette::WindowText);
    case Tint::secondary: {
        QColor color = palette.color(QPalette::WindowText);
        color.setAlphaF(0.55f);
        return color;
    }
    case Tint::green:
        return QColor(0x34, 0xC7, 0x59);
    case Tint::gray:
        return QColor(0x8E, 0x8E, 0x93);
    case Tint::yellow:
        return QColor(0xFF, 0xCC, 0x00);
    case Tint::red:
        return QColor(0xFF, 0x3B, 0x30);
    case Tint::orange:
        return QColor(0xFF, 0x95, 0x00);
    }
    return palette.color(QPalette::WindowText);
}

QColor tintColor(Tint tint) {
    return tintColor(tint, QApplication::palette());
}

QColor accentColor() {
    return QColor(0x00, 0x7A, 0xFF);
}

QFont styledFont(TextStyle style) {
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    switch (style) {
    case TextStyle::body:
        break;
    case TextStyle::headline:
        font.setWeight(QFont::DemiBold);
        break;
    case TextStyle::callout:
        font.setPointSizeF(base * 0.92);
        break;
    case TextStyle::caption:
        font.setPointSizeF(base * 0.8);
        break;
    }
    return font;
}

QFont fontOfPixelSize(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void styleLabel(QLabel* label, TextStyle style, Tint tint) {
    label->setFont(styledFont(style));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, tintColor(tint, QApplication::palette()));
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
}

void makeProminent(QPushButton* button) {
    const QColor accent = accentColor();
    // With the focus the border takes the window's text colour: dark on light windows, light on
    // dark ones, and either way apart from the accent fill.
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; border: 2px solid %1;"
                                         " border-radius: 5px; padding: 3px 12px; }"
                                         "QPushButton:focus { border: 2px solid palette(window-text); outline: none; }"
                                         "QPushButton:pressed { background-color: %2; border-color: %2; }"
                                         "QPushButton:disabled { background-color: %3; border-color: %3; }")
                              .arg(accent.name(), accent.darker(125).name(), tintColor(Tint::gray).name()));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setDefault(true);
}

} // namespace pylon::ui
