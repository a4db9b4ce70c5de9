#pragma once

#include "ui/common/Style.h"
#include "ui/common/Symbols.h"

#include <QWidget>

namespace pylon::ui {

// One symbol in one colour, centred in a fixed frame.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    // `symbolSize` is the symbol's square; the frame is at least that, or `frame` when larger.
    SymbolView(Symbol symbol, Tint tint, int symbolSize, QSize frame = {}, QWidget* parent = nullptr);

    Symbol symbol() const { return m_symbol; }
    Tint tint() const { return m_tint; }
    int symbolSize() const { return m_symbolSize; }
    void setSymbol(Symbol symbol, Tint tint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Symbol m_symbol;
    Tint m_tint;
    int m_symbolSize;
};

} // namespace pylon::ui
