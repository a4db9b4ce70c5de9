#pragma once

#include "ui/common/Style.h"

#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <optional>

namespace pylon::ui {

// The symbols the interface draws. Each comes from the desktop's icon theme when the theme has one
// of its names, else from the drawing bundled with the application; either way it is painted in
// one colour, so the colour rules hold on every desktop.
enum class Symbol {
    iphone,
    laptopcomputer,
    arrowLeftArrowRight,
    wifi,
    checkmarkCircleFill,
    exclamationmarkTriangleFill,
    circleDashed,
    chevronDown,
    chevronRight,
    squareGrid2x2,
    handDraw,
    handTap,
    applescript,
};

// The freedesktop icon-theme names tried for `symbol`, in order.
QStringList themeNames(Symbol symbol);
// The symbol with this system-symbol name ("wifi", "hand.tap", ...), if the interface has it.
std::optional<Symbol> symbolNamed(const QString& name);
// The bundled drawing (a Qt resource path to an SVG file).
QString bundledPath(Symbol symbol);

// `symbol` painted in `color`, fitted into a square of `size` device-independent pixels.
QPixmap symbolPixmap(Symbol symbol, const QColor& color, int size, qreal devicePixelRatio = 1.0);
// Only the bundled drawing, never the theme's (for checking the drawings themselves).
QPixmap bundledSymbolPixmap(Symbol symbol, const QColor& color, int size, qreal devicePixelRatio = 1.0);

// The tray icon of the bundle `bundleIdentifier` (a hand pointing up, white with a dark outline so
// it reads on light and dark panels; amber for the development build).
QIcon trayIcon(const QString& bundleIdentifier);
// The application's icon for windows: the icon theme's, else the bundled hicolor drawings.
QIcon applicationIcon(const QString& bundleIdentifier);
// The symbol named `name` in `color` (see symbolNamed); "hand.point.up.fill" is the tray's hand as a
// silhouette, as texts that point to the tray show it. Transparent for a name the interface does not have.
QPixmap namedSymbolPixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio = 1.0);
// Whether a panel drawn in `palette` counts as dark.
bool isDarkPalette(const QPalette& palette);

// `picture` scaled down to at most `maxWidth` device-independent pixels wide (never up), with its
// corners rounded by `cornerRadius`; null for a null picture.
QPixmap roundedPicture(const QPixmap& picture, int maxWidth, qreal cornerRadius, qreal devicePixelRatio = 1.0);

} // namespace pylon::ui
