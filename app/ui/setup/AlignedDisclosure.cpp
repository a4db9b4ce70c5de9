#include "ui/setup/AlignedDisclosure.h"

#include "ui/common/SymbolView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
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
    m_header->setObjectName(QStringLiteral("disclosureHeader"));
    m_header->setCursor(Qt::PointingHandCursor);
    // Reached with Tab; Space or Enter toggles it, Right expands and Left collapses it. The focus
    // shows as a ring in the highlight colour.
    m_header->setFocusPolicy(Qt::StrongFocus);
    m_header->setAttribute(Qt::WA_StyledBackground);
    m_header->setStyleSheet(QStringLiteral("#disclosureHeader { border: 2px solid transparent; border-radius: 4px; }"
                                           "#disclosureHeader:focus { border-color: palette(highlight); }"));
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

void AlignedDisclosure::setAccessibleTitle(const QString& title) {
    m_title = title;
    updateAccessibleText();
}

void AlignedDisclosure::updateAccessibleText() {
    m_header->setAccessibleName(m_title);
    m_header->setAccessibleDescription(m_expanded ? QStringLiteral("Expanded") : QStringLiteral("Collapsed"));
}

void AlignedDisclosure::setContent(QWidget* content) {
    replace(m_content, content, m_contentSlot);
}

void AlignedDisclosure::setExpanded(bool expanded) {
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    m_chevron->setSymbol(chevronFor(expanded), Tint::secondary);
    updateAccessibleText();
    m_contentArea->setVisible(expanded);
    emit expandedChanged(expanded);
}

bool AlignedDisclosure::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_header && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            toggle();
            return true;
        case Qt::Key_Right:
            setExpanded(true);
            return true;
        case Qt::Key_Left:
            setExpanded(false);
            return true;
        default:
            break;
        }
    }
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
