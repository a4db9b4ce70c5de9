#include "ui/onboarding/SymbolImage.h"

#include "ui/common/Symbols.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <optional>

namespace pylon::ui {

namespace {

// Every drawing works in a 24 × 24 box; the painter is scaled to the pixmap.
using Drawing = std::function<void(QPainter&, const QColor&)>;

QPen stroke(const QColor& color, qreal width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath capsule(qreal x, qreal y, qreal width, qreal height) {
    QPainterPath path;
    const qreal radius = std::min(width, height) / 2;
    path.addRoundedRect(QRectF(x, y, width, height), radius, radius);
    return path;
}

// A hand with the index finger raised, its fingertip at (x, y).
QPainterPath raisedHand(qreal x, qreal y) {
    QPainterPath hand = capsule(x - 2, y, 4, 13);
    QPainterPath palm;
    palm.addRoundedRect(QRectF(x - 2.5, y + 8, 10.5, 11), 3.5, 3.5);
    hand = hand.united(palm);
    for (int knuckle = 0; knuckle < 2; ++knuckle)
        hand = hand.united(capsule(x + 1.8 + knuckle * 3.1, y + 6.5 + knuckle * 0.7, 3.2, 7));
    QPainterPath thumb = capsule(0, 0, 3.4, 8);
    QTransform tilt;
    tilt.translate(x - 6.2, y + 10.2);
    tilt.rotate(-35);
    return hand.united(tilt.map(thumb));
}

void fill(QPainter& painter, const QPainterPath& path, const QColor& color) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path);
}

const QHash<QString, Drawing>& drawings() {
    static const QHash<QString, Drawing> table{
        {QStringLiteral("square.grid.2x2"),
         [](QPainter& p, const QColor& c) {
             p.setPen(stroke(c, 2));
             p.setBrush(Qt::NoBrush);
             for (int row = 0; row < 2; ++row) {
                 for (int column = 0; column < 2; ++column)
                     p.drawRoundedRect(QRectF(3 + column * 10, 3 + row * 10, 8, 8), 2, 2);
             }
         }},
        {QStringLiteral("hand.draw"),
         [](QPainter& p, const QColor& c) {
             QPainterPath squiggle;
             squiggle.moveTo(2, 6);
             squiggle.cubicTo(5, 1, 8, 9, 11, 4);
             squiggle.cubicTo(13, 1, 16, 3, 17, 5);
             p.setPen(stroke(c, 1.8));
             p.setBrush(Qt::NoBrush);
             p.drawPath(squiggle);
             QTransform tilt;
             tilt.translate(14.5, 7);
             tilt.rotate(20);
             tilt.scale(0.85, 0.85);
             fill(p, tilt.map(raisedHand(0, 0)), c);
         }},
        {QStringLiteral("hand.tap"),
         [](QPainter& p, const QColor& c) {
             p.setPen(stroke(c, 1.6));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(6.5, 1.5, 9, 9), 20 * 16, 140 * 16);
             p.drawArc(QRectF(3.5, -1.5, 15, 15), 25 * 16, 130 * 16);
             fill(p, raisedHand(11, 6), c);
         }},
        {QStringLiteral("hand.point.up.fill"), [](QPainter& p, const QColor& c) { fill(p, raisedHand(10, 2.5), c); }},
        {QStringLiteral("applescript"),
         [](QPainter& p, const QColor& c) {
             // A scroll: a sheet with rolled ends and lines of script.
             p.setPen(stroke(c, 1.8));
             p.setBrush(Qt::NoBrush);
             p.drawRoundedRect(QRectF(5, 4, 14, 16), 1.5, 1.5);
             p.drawRoundedRect(QRectF(3, 2.5, 18, 3.5), 1.75, 1.75);
             p.drawRoundedRect(QRectF(3, 18, 18, 3.5), 1.75, 1.75);
             p.drawLine(QPointF(8.5, 9.5), QPointF(15.5, 9.5));
             p.drawLine(QPointF(8.5, 13), QPointF(13.5, 13));
         }},
    };
    return table;
}

// The symbols every part of the interface shares.
std::optional<Symbol> sharedSymbol(const QString& name) {
    if (name == QLatin1String("wifi"))
        return Symbol::wifi;
    if (name == QLatin1String("checkmark.circle.fill"))
        return Symbol::checkmarkCircleFill;
    return std::nullopt;
}

const QString trayHand = QStringLiteral("hand.point.up.fill");

QPixmap recoloured(QPixmap pixmap, const QColor& color) {
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    return pixmap;
}

} // namespace

QString namedSymbolThemeName(const QString& symbol) {
    static const QHash<QString, QString> names{
        {QStringLiteral("square.grid.2x2"), QStringLiteral("view-grid-symbolic")},
        {QStringLiteral("hand.draw"), QStringLiteral("input-tablet-symbolic")},
        {QStringLiteral("hand.tap"), QStringLiteral("preferences-desktop-accessibility-symbolic")},
        {QStringLiteral("applescript"), QStringLiteral("text-x-script-symbolic")},
    };
    return names.value(symbol);
}

bool isKnownNamedSymbol(const QString& symbol) {
    return sharedSymbol(symbol) || symbol == trayHand || drawings().contains(symbol);
}

QPixmap drawnNamedSymbol(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    if (const auto found = drawings().constFind(symbol); found != drawings().constEnd()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixels / 24.0, pixels / 24.0);
        (*found)(painter, color);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QPixmap namedSymbolPixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio) {
    if (const std::optional<Symbol> shared = sharedSymbol(symbol))
        return symbolPixmap(*shared, color, size, devicePixelRatio);
    if (symbol == trayHand) {
        // The same hand as the tray icon the text points to.
        const int pixels = qMax(1, qRound(size * devicePixelRatio));
        QPixmap hand = trayIcon(false).pixmap(QSize(pixels, pixels));
        if (!hand.isNull()) {
            hand.setDevicePixelRatio(devicePixelRatio);
            return recoloured(hand, color);
        }
    }
    const QString themeName = namedSymbolThemeName(symbol);
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName)) {
        QPixmap themed = QIcon::fromTheme(themeName).pixmap(QSize(size, size), devicePixelRatio);
        if (!themed.isNull())
            return recoloured(themed, color);
    }
    return drawnNamedSymbol(symbol, size, color, devicePixelRatio);
}

} // namespace pylon::ui
