#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace pylon::ui {

// Symbols the onboarding pages name ("wifi", "hand.tap", ...). Those the whole interface shares
// (the check mark, Wi-Fi, the tray's hand) come from ui/common/Symbols; the others are the icon
// theme's symbolic icon when the desktop has one, else a drawing of our own.

// The freedesktop icon-theme name tried for a symbol of the onboarding's own, or "".
QString namedSymbolThemeName(const QString& symbol);

// Whether `symbol` is one the onboarding can draw (shared or its own).
bool isKnownNamedSymbol(const QString& symbol);

// `symbol` as a square single-colour pixmap `size` device-independent pixels wide in `color`;
// transparent for an unknown symbol.
QPixmap namedSymbolPixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

// Only the drawing of a symbol of the onboarding's own, never the theme's.
QPixmap drawnNamedSymbol(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace pylon::ui
