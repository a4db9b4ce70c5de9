#include "ui/common/SymbolView.h"

#include <QEvent>
#include <QPainter>

namespace pylon::ui {

SymbolView::SymbolView(Symbol symbol, Tint tint, int symbolSize, QSize frame, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_tint(tint)
    , m_symbolSize(symbolSize) {
    setFixedSize(frame.expandedTo(QSize(symbolSize, symbolSize)));
}

void SymbolView::setSymbol(Symbol symbol, Tint tint) {
    if (symbol == m_symbol && tint == m_tint)
        return;
    m_symbol = symbol;
    m_tint = tint;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap pixmap = symbolPixmap(m_symbol, tintColor(m_tint, palette()), m_symbolSize, devicePixelRatioF());
    const QPoint topLeft((width() - m_symbolSize) / 2, (height() - m_symbolSize) / 2);
    painter.drawPixmap(topLeft, pixmap);
}

void SymbolView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

} // namespace pylon::ui
