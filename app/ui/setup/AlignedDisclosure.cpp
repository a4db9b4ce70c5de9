#include "ui/setup/AlignedDisclosure.h"

#include "ui/common/SymbolView.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
Symbol chevronFor(bool expanded) {
    return expanded ? Symbol::chevronDown : Symbol::chevronRight;
}
} // namespace

AlignedDisclosure::AlignedDisclosure(bool expanded, QWidget* parent)
    : QWidget(parent)
    , m_expanded(expanded) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_header = new QWidget(this);
    m_header->setCursor(Qt::PointingHandCursor);
    m_header->installEventFilter(this);
    auto* headerRow = new QHBoxLayout(m_header);
    headerRow->setContentsMargins(0, 2, 0, 2);
    headerRow->setSpacing(labelSpacing);
    m_chevron =
        new SymbolView(chevronFor(expanded), Tint::secondary, chevronSize, QSize(chevronFrameWidth, 16), m_header);
    headerRow->addWidget(m_chevron, 0, Qt::AlignVCenter);
    m_labelSlot = new QVBoxLayout;
    m_labelSlot->setContentsMargins(0, 0, 0, 0);
    headerRow->addLayout(m_labelSlot, 1);
    layout->addWidget(m_header);

    m_contentArea = new QWidget(this);
    m_contentSlot = new QVBoxLayout(m_contentArea);
    m_contentSlot->setContentsMargins(chevronFrameWidth + labelSpacing, 0, 0, 4);
    layout->addWidget(m_contentArea);
    m_contentArea->setVisible(expanded);
}

void AlignedDisclosure::replace(QWidget*& slot, QWidget* replacement, QVBoxLayout* into) {
    if (slot) {
        slot->hide();
        slot->setParent(nullptr);
        slot->deleteLater();
    }
    slot = replacement;
    if (slot) {
        into->addWidget(slot);
        // Shown now rather than on the next turn of the event loop, so a redraw is complete at once.
        slot->show();
    }
}

void AlignedDisclosure::setLabel(QWidget* label) {
    replace(m_label, label, m_labelSlot);
}

void AlignedDisclosure::setContent(QWidget* content) {
    replace(m_content, content, m_contentSlot);
}

void AlignedDisclosure::setExpanded(bool expanded) {
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    m_chevron->setSymbol(chevronFor(expanded), Tint::secondary);
    m_contentArea->setVisible(expanded);
    emit expandedChanged(expanded);
}

bool AlignedDisclosure::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_header && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_header->rect().contains(mouse->position().toPoint())) {
            toggle();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pylon::ui
