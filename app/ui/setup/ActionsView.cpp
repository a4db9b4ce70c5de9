#include "ui/setup/ActionsView.h"

#include "ui/common/Style.h"
#include "ui/setup/LiveSetupHelpView.h"
#include "ui/setup/SetupButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
constexpr int textWidth = 560;
constexpr int spinnerTicks = 12;
} // namespace

Spinner::Spinner(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(16, 16);
    m_timer.setInterval(std::chrono::milliseconds(80));
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spinnerTicks;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0;
    QColor color = tintColor(Tint::primary, palette());
    for (int i = 0; i < spinnerTicks; ++i) {
        // The tick at the current step is darkest; the ones behind it fade out.
        const int age = (m_step - i + spinnerTicks) % spinnerTicks;
        color.setAlphaF(float(1.0 - 0.75 * age / spinnerTicks));
        painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / spinnerTicks);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent* event) {
    m_timer.start();
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

ActionsView::ActionsView(SetupViewControllerProtocol& controller, const QPixmap& setupPicture, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_setupPicture(setupPicture) {
    // A fixed width lets the explanations wrap to their full height.
    setFixedWidth(textWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void ActionsView::setState(const CompanionState& state, std::optional<AbletonCondition> liveCondition) {
    ActionsContent content = actionsContent(state, liveCondition, m_guidance);
    if (m_built && content == m_content)
        return;
    m_content = std::move(content);
    m_built = true;
    rebuild();
}

void ActionsView::rebuild() {
    // The old widgets may be in the middle of delivering a click that led here: let them go later.
    if (m_body) {
        m_body->hide();
        m_body->setParent(nullptr);
        m_body->deleteLater();
    }
    m_body = new QWidget(this);
    auto* column = new QVBoxLayout(m_body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(blockSpacing);

    if (m_content.showsSetupHelp)
        column->addWidget(new LiveSetupHelpView(m_setupPicture, m_body), 0, Qt::AlignHCenter);

    for (qsizetype i = 0; i < m_content.blocks.size(); ++i) {
        const ActionsBlock& block = m_content.blocks[i];
        auto* blockWidget = new QWidget(m_body);
        auto* blockLayout = new QVBoxLayout(blockWidget);
        blockLayout->setContentsMargins(0, 0, 0, 0);
        blockLayout->setSpacing(6);
        if (block.button)
            blockLayout->addWidget(makeSetupButton(*block.button, m_controller, std::nullopt, blockWidget), 0,
                                   Qt::AlignHCenter);
        if (!block.text.isEmpty()) {
            auto* label = new QLabel(block.text, blockWidget);
            styleLabel(label, TextStyle::callout, block.secondary ? Tint::secondary : Tint::primary);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignHCenter);
            if (i == 0 && m_content.showsProgress) {
                label->setWordWrap(false);
                auto* line = new QHBoxLayout;
                line->setSpacing(8);
                line->addStretch();
                line->addWidget(new Spinner(blockWidget));
                line->addWidget(label);
                line->addStretch();
                blockLayout->addLayout(line);
            } else {
                blockLayout->addWidget(label);
            }
        }
        column->addWidget(blockWidget);
    }
    layout()->addWidget(m_body);
    m_body->setVisible(!m_content.blocks.isEmpty() || m_content.showsSetupHelp);
    setVisible(m_body->isVisibleTo(this));
}

} // namespace pylon::ui
