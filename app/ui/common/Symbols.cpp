#include "ui/common/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>

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

} // namespace

QStringList themeNames(Symbol symbol) {
    switch (symbol) {
    case Symbol::iphone:
        return {QStringLiteral("phone-apple-iphone-symbolic"), QStringLiteral("phone-symbolic")};
    case Symbol::laptopcomputer:
        return {QStringLiteral("computer-laptop-symbolic"), QStringLiteral("computer-symbolic")};
    case Symbol::arrowLeftArrowRight:
        return {QStringLiteral("network-transmit-receive-symbolic")};
    case Symbol::wifi:
        return {QStringLiteral("network-wireless-signal-excellent-symbolic"),
                QStringLiteral("network-wireless-symbolic")};
    case Symbol::checkmarkCircleFill:
        return {QStringLiteral("emblem-ok-symbolic"), QStringLiteral("emblem-default-symbolic")};
    case Symbol::exclamationmarkTriangleFill:
        return {QStringLiteral("dialog-warning-symbolic")};
    case Symbol::circleDashed:
        return {}; // no theme draws an empty dashed circle (the loading icons are dots or spinners)
    case Symbol::chevronDown:
        return {QStringLiteral("pan-down-symbolic")};
    case Symbol::chevronRight:
        return {QStringLiteral("pan-end-symbolic")};
    }
    return {};
}

QString bundledPath(Symbol symbol) {
    const char* file = "";
    switch (symbol) {
    case Symbol::iphone:
        file = "iphone";
        break;
    case Symbol::laptopcomputer:
        file = "laptopcomputer";
        break;
    case Symbol::arrowLeftArrowRight:
        file = "arrow.left.arrow.right";
        break;
    case Symbol::wifi:
        file = "wifi";
        break;
    case Symbol::checkmarkCircleFill:
        file = "checkmark.circle.fill";
        break;
    case Symbol::exclamationmarkTriangleFill:
        file = "exclamationmark.triangle.fill";
        break;
    case Symbol::circleDashed:
        file = "circle.dashed";
        break;
    case Symbol::chevronDown:
        file = "chevron.down";
        break;
    case Symbol::chevronRight:
        file = "chevron.right";
        break;
    }
    return QStringLiteral(":/pylon/icons/%1.svg").arg(QLatin1String(file));
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

QIcon trayIcon(bool darkPanel) {
    const QString path = darkPanel ? QStringLiteral(":/pylon/icons/hand.point.up.fill-dark.svg")
                                   : QStringLiteral(":/pylon/icons/hand.point.up.fill-light.svg");
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = renderSvg(path, size);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
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
