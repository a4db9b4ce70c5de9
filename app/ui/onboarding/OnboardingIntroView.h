#pragma once

#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingPage.h"

#include <QPixmap>

class QLabel;

namespace pylon::ui {

// One feature of the welcome page: its symbol in the accent colour in a 24-wide column, then the text.
class FeatureRow : public QWidget {
    Q_OBJECT
public:
    explicit FeatureRow(const FeatureRowContent& content, QWidget* parent = nullptr);
    const QString& icon() const { return m_icon; }
    QString text() const;

private:
    QString m_icon;
    QLabel* m_text;
};

// The welcome page: hero image, name and tagline, the three features and the trademark note.
class OnboardingIntroView : public OnboardingPage {
    Q_OBJECT
public:
    // `hero` may be null (missing resource); the image's place stays empty.
    OnboardingIntroView(const QPixmap& hero, std::function<void()> onContinue, QWidget* parent = nullptr);

    QList<FeatureRow*> featureRows() const { return m_rows; }
    QLabel* heroLabel() const { return m_hero; }

private:
    QLabel* m_hero;
    QList<FeatureRow*> m_rows;
};

} // namespace pylon::ui
