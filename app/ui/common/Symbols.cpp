#include "ui/common/Symbols.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <array>

// Resources of a static library must be registered by name, outside any namespace.
static void registerUiResources() {
    Q_INIT_RESOURCE(pylon_ui_icons);
}

namespace pylon::ui {

namespace {

void ensureResources() {
    static const bool registered = (registerUiResources(), true);
    Q_UNUSED(registered);
}

// Renders the SVG at `path` centred into a transparent square image, keeping its aspect ratio.
QImage renderSvg(const QString& path, int pixels) {
    ensureResources();
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QSizeF size = renderer.defaultSize();
    size.scale(pixels, pixels, Qt::KeepAspectRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF((pixels - size.width()) / 2, (pixels - size.height()) / 2), size));
    return image;
}

// Keeps the shape of `image` and paints it all in `color`.
QPixmap tinted(QImage image, const QColor& color, qreal devicePixelRatio) {
    if (image.isNull())
        return {};
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QString cacheKey(const char* kind, Symbol symbol, const QColor& color, int pixels) {
    return QStringLiteral("pylon-%1-%2-%3-%4")
        .arg(QLatin1String(kind))
        .arg(int(symbol))
        .arg(color.name(QColor::HexArgb))
        .arg(pixels);
}

struct SymbolFacts {
    Symbol symbol;
    const char* name; // the system-symbol name, also the bundled drawing's file name
    std::array<const char*, 2> themeNames; // unused places are null
};

// Every symbol: its name and the freedesktop icon-theme names tried for it, in order.
constexpr SymbolFacts symbolFacts[] = {
    {Symbol::iphone, "iphone", {"phone-apple-iphone-symbolic", "phone-symbolic"}},
    {Symbol::laptopcomputer, "laptopcomputer", {"computer-laptop-symbolic", "computer-symbolic"}},
    {Symbol::arrowLeftArrowRight, "arrow.left.arrow.right", {"network-transmit-receive-symbolic"}},
    {Symbol::wifi, "wifi", {"network-wireless-signal-excellent-symbolic", "network-wireless-symbolic"}},
    {Symbol::checkmarkCircleFill, "checkmark.circle.fill", {"emblem-ok-symbolic", "emblem-default-symbolic"}},
    {Symbol::exclamationmarkTriangleFill, "exclamationmark.triangle.fill", {"dialog-warning-symbolic"}},
    // No theme draws an empty dashed circle (the loading icons are dots or spinners).
    {Symbol::circleDashed, "circle.dashed", {}},
    {Symbol::chevronDown, "chevron.down", {"pan-down-symbolic"}},
    {Symbol::chevronRight, "chevron.right", {"pan-end-symbolic"}},
    {Symbol::squareGrid2x2, "square.grid.2x2", {"view-grid-symbolic"}},
    {Symbol::handDraw, "hand.draw", {"input-tablet-symbolic"}},
    {Symbol::handTap, "hand.tap", {"preferences-desktop-accessibility-symbolic"}},
    {Symbol::applescript, "applescript", {"text-x-script-symbolic"}},
};

constexpr bool isInEnumOrder() {
    for (std::size_t i = 0; i < std::size(symbolFacts); ++i) {
        if (std::size_t(symbolFacts[i].symbol) != i)
            return false;
    }
    return true;
}
static_assert(isInEnumOrder(), "symbolFacts is indexed by Symbol");

const SymbolFacts& factsOf(Symbol symbol) {
    return symbolFacts[int(symbol)];
}

const QString trayHandName = QStringLiteral("hand.point.up.fill");

} // namespace

QStringList themeNames(Symbol symbol) {
    QStringList names;
    for (const char* name : factsOf(symbol).themeNames) {
        if (name)
            names << QString::fromLatin1(name);
    }
    return names;
}

std::optional<Symbol> symbolNamed(const QString& name) {
    for (const SymbolFacts& facts : symbolFacts) {
        if (name == QLatin1String(facts.name))
            return facts.symbol;
    }
    return std::nullopt;
}

QString bundledPath(Symbol symbol) {
    return QStringLiteral(":/pylon/icons/%1.svg").arg(QLatin1String(factsOf(symbol).name));
}

QPixmap bundledSymbolPixmap(Symbol symbol, const QColor& color, int size, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    const QString key = cacheKey("bundled", symbol, color, pixels);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = tinted(renderSvg(bundledPath(symbol), pixels), color, devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap symbolPixmap(Symbol symbol, const QColor& color, int size, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    for (const QString& name : themeNames(symbol)) {
        if (!QIcon::hasThemeIcon(name))
            continue;
        const QString key = cacheKey("theme", symbol, color, pixels) + QIcon::themeName();
        QPixmap pixmap;
        if (QPixmapCache::find(key, &pixmap))
            return pixmap;
        const QImage image = QIcon::fromTheme(name).pixmap(QSize(pixels, pixels)).toImage();
        // A theme icon smaller than asked for is centred, not stretched.
        QImage square(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        square.fill(Qt::transparent);
        QPainter painter(&square);
        painter.drawImage(QPoint((pixels - image.width()) / 2, (pixels - image.height()) / 2), image);
        painter.end();
        pixmap = tinted(square, color, devicePixelRatio);
        if (!pixmap.isNull()) {
            QPixmapCache::insert(key, pixmap);
            return pixmap;
        }
    }
    return bundledSymbolPixmap(symbol, color, size, devicePixelRatio);
}

namespace {

// The pointing hand as a silhouette, for texts that point to the tray item.
QIcon handSilhouette() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = renderSvg(QStringLiteral(":/pylon/icons/hand.point.up.fill-light.svg"), size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace

QIcon trayIcon(const QString& bundleIdentifier) {
    const QString path = QStringLiteral(":/pylon/tray/") + bundleIdentifier + QStringLiteral("-tray.svg");
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = renderSvg(QFile::exists(path) ? path : QStringLiteral(":/pylon/tray/net.ostrand.Pylon-tray.svg"), size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QIcon applicationIcon(const QString& bundleIdentifier) {
    QIcon bundled;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/pylon/app/%1/%2.png").arg(size).arg(bundleIdentifier);
        if (QFile::exists(path))
            bundled.addFile(path, QSize(size, size));
    }
    // An installed icon theme may draw its own; the bundled drawings are used otherwise.
    return QIcon::fromTheme(bundleIdentifier, bundled);
}

QPixmap namedSymbolPixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio) {
    if (name == trayHandName) {
        const int pixels = qMax(1, qRound(size * devicePixelRatio));
        QImage hand = handSilhouette().pixmap(QSize(pixels, pixels)).toImage();
        return tinted(hand, color, devicePixelRatio);
    }
    if (const std::optional<Symbol> symbol = symbolNamed(name))
        return symbolPixmap(*symbol, color, size, devicePixelRatio);
    QPixmap empty(qMax(1, qRound(size * devicePixelRatio)), qMax(1, qRound(size * devicePixelRatio)));
    empty.fill(Qt::transparent);
    empty.setDevicePixelRatio(devicePixelRatio);
    return empty;
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QPixmap roundedPicture(const QPixmap& picture, int maxWidth, qreal cornerRadius, qreal devicePixelRatio) {
    if (picture.isNull())
        return {};
    QSizeF size = picture.deviceIndependentSize();
    if (size.width() > maxWidth)
        size = QSizeF(maxWidth, size.height() * maxWidth / size.width());
    const QSize pixels = (size * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(pixels)), cornerRadius * devicePixelRatio,
                        cornerRadius * devicePixelRatio);
    painter.setClipPath(clip);
    painter.drawPixmap(QRect(QPoint(0, 0), pixels), picture);
    painter.end();
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace pylon::ui
