#include "ui/onboarding/OnboardingPage.h"

#include "foundation/BuildEnvironment.h"
#include "ui/onboarding/OnboardingStyle.h"

#include <QAbstractButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
constexpr int itemSpacing = 24;
constexpr int sidePadding = 32;
constexpr int edgePadding = 24;
// The narrowest a page becomes before the window scrolls it sideways.
constexpr int narrowestWidth = 360;
} // namespace

OnboardingPage::OnboardingPage(const QString& buttonText, std::function<void()> onPrimary, Scrolling scrolling,
                               QWidget* parent)
    : QWidget(parent) {
    setMaximumWidth(BuildEnvironment::onboardingPageWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* content = new QWidget;
    m_contentLayout = new QVBoxLayout(content);
    m_contentLayout->setContentsMargins(sidePadding, edgePadding, sidePadding, edgePadding);
    m_contentLayout->setSpacing(itemSpacing);
    if (scrolling == Scrolling::content) {
        auto* scrollArea = new QScrollArea;
        scrollArea->setWidgetResizable(true);
        scrollArea->setFrameShape(QFrame::NoFrame);
        scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scrollArea->setWidget(content);
        content->setAutoFillBackground(false);
        scrollArea->viewport()->setAutoFillBackground(false);
        column->addWidget(scrollArea, 1);
    } else {
        column->addWidget(content, 1);
    }

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    auto* footer = new QWidget;
    m_footerLayout = new QHBoxLayout(footer);
    m_footerLayout->setContentsMargins(20, 12, 20, 12);
    m_footerLayout->setSpacing(12);
    m_footerLayout->addStretch(1);
    // A lone "&" would mark a mnemonic ("Accept & Continue").
    m_primaryButton = new QPushButton(QString(buttonText).replace(QLatin1Char('&'), QStringLiteral("&&")));
    m_primaryButton->setObjectName(QStringLiteral("primaryButton"));
    m_primaryButton->setAccessibleName(buttonText);
    makeProminent(m_primaryButton);
    m_footerLayout->addWidget(m_primaryButton);
    column->addWidget(footer);

    connect(m_primaryButton, &QPushButton::clicked, this, [onPrimary = std::move(onPrimary)] {
        if (onPrimary)
            onPrimary();
    });
}

QSize OnboardingPage::sizeHint() const {
    return {BuildEnvironment::onboardingPageWidth, BuildEnvironment::onboardingPageHeight};
}

QSize OnboardingPage::minimumSizeHint() const {
    // The footer and a few lines of content; the rest scrolls.
    const int footer = m_footerLayout->parentWidget()->minimumSizeHint().height();
    return {narrowestWidth, footer + 4 * fontMetrics().height()};
}

void OnboardingPage::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A focused button other than the primary one is the one meant.
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        QAbstractButton* target = focused && focused->isVisible() ? focused : m_primaryButton;
        if (target->isEnabled()) {
            target->animateClick();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

RoundedPanel::RoundedPanel(qreal radius, QWidget* parent)
    : QWidget(parent)
    , m_radius(radius)
    , m_color(panelColor(palette())) {}

void RoundedPanel::setColor(const QColor& color) {
    m_color = color;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}

} // namespace pylon::ui
