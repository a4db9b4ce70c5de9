#include "ui/onboarding/OnboardingIntroView.h"

#include "ui/onboarding/OnboardingStyle.h"
#include "ui/common/Symbols.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace pylon::ui {

FeatureRow::FeatureRow(const FeatureRowContent& content, QWidget* parent)
    : QWidget(parent)
    , m_icon(content.symbol) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("featureIcon"));
    icon->setFixedWidth(24);
    icon->setAlignment(Qt::AlignCenter);
    const int symbolSize = QFontMetrics(pageFont(PageFont::title3)).height();
    icon->setPixmap(namedSymbolPixmap(content.symbol, symbolSize, accentColor(), devicePixelRatioF()));
    row->addWidget(icon);
    m_text = makePageLabel(content.text, PageFont::body);
    row->addWidget(m_text, 1);
}

QString FeatureRow::text() const {
    return m_text->text();
}

OnboardingIntroView::OnboardingIntroView(const QPixmap& hero, std::function<void()> onContinue, QWidget* parent)
    : OnboardingPage(introContent().button, std::move(onContinue), Scrolling::content, parent) {
    const IntroContent content = introContent();
    QVBoxLayout* column = contentLayout();

    m_hero = new QLabel;
    m_hero->setObjectName(QStringLiteral("heroImage"));
    m_hero->setFixedSize(content.heroSize);
    m_hero->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (!hero.isNull()) {
        const qreal ratio = devicePixelRatioF();
        QPixmap scaled = hero.scaled(content.heroSize * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        m_hero->setPixmap(scaled);
    }
    column->addWidget(m_hero, 0, Qt::AlignHCenter);

    QVBoxLayout* heading = makePageHeading(content.title, content.subtitle);
    column->addLayout(heading);

    auto* features = new RoundedPanel;
    features->setObjectName(QStringLiteral("featureBox"));
    auto* rows = new QVBoxLayout(features);
    rows->setContentsMargins(16, 14, 16, 14);
    rows->setSpacing(10);
    for (const FeatureRowContent& feature : content.features) {
        auto* row = new FeatureRow(feature);
        m_rows << row;
        rows->addWidget(row);
    }
    column->addWidget(features);

    QLabel* disclaimer = makePageLabel(content.disclaimer, PageFont::caption, TextTone::secondary);
    disclaimer->setObjectName(QStringLiteral("disclaimer"));
    disclaimer->setAlignment(Qt::AlignHCenter);
    disclaimer->setContentsMargins(60, 0, 60, 0);
    column->addWidget(disclaimer);
    column->addStretch(1);
}

} // namespace pylon::ui
