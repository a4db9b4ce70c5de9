#include "ui/onboarding/OnboardingPermissionView.h"

#include "ui/onboarding/OnboardingStyle.h"
#include "ui/common/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace pylon::ui {

namespace {
constexpr int tileSize = 80;
constexpr int tileMargin = 6; // room for the badge beyond the tile's corner
constexpr int symbolSize = 48;
constexpr int badgeSize = 24;
constexpr int descriptionWidth = 400;
const QString checkSymbol = QStringLiteral("checkmark.circle.fill");
} // namespace

PermissionTile::PermissionTile(const QString& symbol, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol) {
    setFixedSize(tileSize + 2 * tileMargin, tileSize + 2 * tileMargin);
}

void PermissionTile::setBadgeShown(bool shown) {
    m_badge = shown;
    update();
}

void PermissionTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = accentColor();
    QColor tint = accent;
    tint.setAlphaF(0.15f);
    const QRectF tile(tileMargin, tileMargin, tileSize, tileSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawRoundedRect(tile, 18, 18);

    const qreal ratio = devicePixelRatioF();
    const QPixmap symbol = namedSymbolPixmap(m_symbol, symbolSize, accent, ratio);
    painter.drawPixmap(QPointF(tile.center().x() - symbolSize / 2.0, tile.center().y() - symbolSize / 2.0), symbol);

    if (m_badge) {
        const QRectF badge(tile.right() - badgeSize + tileMargin, tile.bottom() - badgeSize + tileMargin, badgeSize,
                           badgeSize);
        painter.setBrush(Qt::white);
        painter.drawEllipse(badge.adjusted(1, 1, -1, -1));
        painter.drawPixmap(badge.topLeft(), namedSymbolPixmap(checkSymbol, badgeSize, grantedColor(), ratio));
    }
}

namespace {

// The page's title over its description, both centred.
QVBoxLayout* makeHeading(const PermissionPageContent& content) {
    auto* heading = new QVBoxLayout;
    heading->setSpacing(10);
    QLabel* title = makePageLabel(content.title, PageFont::largeTitle);
    title->setAlignment(Qt::AlignHCenter);
    heading->addWidget(title);
    QLabel* description =
        makePageLabel(lineBreaksThatFit(content.description, pageFont(PageFont::body), descriptionWidth),
                      PageFont::body, TextTone::secondary);
    description->setObjectName(QStringLiteral("description"));
    description->setAlignment(Qt::AlignHCenter);
    description->setMaximumWidth(descriptionWidth);
    // Centred at most 400 wide; the label takes the width it may have, so its wrapped lines all show.
    auto* centred = new QHBoxLayout;
    centred->addStretch(0);
    centred->addWidget(description, 1);
    centred->addStretch(0);
    heading->addLayout(centred);
    return heading;
}

} // namespace

OnboardingPermissionView::OnboardingPermissionView(OnboardingStep step, const OnboardingNames& names,
                                                   const OnboardingPlatform& platform,
                                                   std::function<void()> onOpenSettings,
                                                   std::function<void()> onContinue, QWidget* parent)
    : OnboardingPage(primaryButtonText(step), std::move(onContinue), Scrolling::content, parent)
    , m_step(step)
    , m_names(names)
    , m_platform(platform)
    , m_content(permissionPageContent(step, false, names, platform)) {
    setObjectName(stepName(step) + QStringLiteral("Page"));
    QVBoxLayout* column = contentLayout();
    column->addStretch(1);

    m_tile = new PermissionTile(m_content.symbol);
    m_tile->setAccessibleName(m_content.title);
    column->addWidget(m_tile, 0, Qt::AlignHCenter);

    column->addLayout(makeHeading(m_content));

    auto* box = new RoundedPanel;
    box->setObjectName(QStringLiteral("statusBox"));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(16, 14, 16, 14);
    boxLayout->setSpacing(8);

    m_grantedRow = new QWidget;
    auto* grantedLayout = new QHBoxLayout(m_grantedRow);
    grantedLayout->setContentsMargins(0, 0, 0, 0);
    grantedLayout->setSpacing(8);
    auto* check = new QLabel;
    check->setPixmap(namedSymbolPixmap(checkSymbol, 18, grantedColor(), devicePixelRatioF()));
    check->setAccessibleName(QStringLiteral("Granted"));
    m_grantedLabel = makePageLabel(m_content.grantedSentence, PageFont::body);
    m_grantedLabel->setObjectName(QStringLiteral("grantedSentence"));
    m_grantedLabel->setWordWrap(false);

    grantedLayout->addStretch(1);
    grantedLayout->addWidget(check);
    grantedLayout->addWidget(m_grantedLabel);
    grantedLayout->addStretch(1);
    boxLayout->addWidget(m_grantedRow);

    const PermissionPageContent notGranted = permissionPageContent(step, false, names, platform);
    for (const InstructionLine& line : notGranted.instructions) {
        QLabel* label = makePageLabel(line.text, PageFont::body, line.tone);
        label->setObjectName(QStringLiteral("instruction"));
        label->setAlignment(Qt::AlignHCenter);
        m_instructionLabels << label;
        boxLayout->addWidget(label);
    }
    column->addWidget(box);

    m_settingsButton = new QPushButton(notGranted.settingsButton.value_or(QString()));
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    connect(m_settingsButton, &QPushButton::clicked, this, [onOpenSettings = std::move(onOpenSettings)] {
        if (onOpenSettings)
            onOpenSettings();
    });
    column->addWidget(m_settingsButton, 0, Qt::AlignHCenter);
    column->addStretch(1);
    render();
}

void OnboardingPermissionView::setGranted(bool granted) {
    m_content = permissionPageContent(m_step, granted, m_names, m_platform);
    render();
}

void OnboardingPermissionView::render() {
    m_tile->setBadgeShown(m_content.isGranted);
    m_tile->setAccessibleDescription(m_content.isGranted ? m_content.grantedSentence : QString());
    m_grantedRow->setVisible(m_content.isGranted);
    m_grantedLabel->setText(m_content.grantedSentence);
    for (int i = 0; i < m_instructionLabels.size(); ++i) {
        const bool shown = i < m_content.instructions.size();
        m_instructionLabels[i]->setVisible(shown);
        if (shown) {
            m_instructionLabels[i]->setText(m_content.instructions[i].text);
            setTone(m_instructionLabels[i], m_content.instructions[i].tone);
        }
    }
    m_settingsButton->setVisible(m_content.settingsButton.has_value());
    if (m_content.settingsButton)
        m_settingsButton->setText(*m_content.settingsButton);
}

} // namespace pylon::ui
