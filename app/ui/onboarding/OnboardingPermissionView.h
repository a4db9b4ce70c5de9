#pragma once

#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingPage.h"

class QLabel;
class QPushButton;

namespace pylon::ui {

// The page symbol in a tinted, rounded 80 × 80 tile; while granted, a green check badge sits on the
// tile's bottom-trailing corner.
class PermissionTile : public QWidget {
    Q_OBJECT
public:
    explicit PermissionTile(const QString& symbol, QWidget* parent = nullptr);
    void setBadgeShown(bool shown);
    bool isBadgeShown() const { return m_badge; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    bool m_badge = false;
};

// The page of one permission: tile, title, description, a status box with either the granted
// sentence or the instructions, and, while not granted, the button that opens the settings.
// setGranted() redraws it for each new status.
class OnboardingPermissionView : public OnboardingPage {
    Q_OBJECT
public:
    OnboardingPermissionView(OnboardingStep step, const OnboardingNames& names, const OnboardingPlatform& platform,
                             std::function<void()> onOpenSettings, std::function<void()> onContinue,
                             QWidget* parent = nullptr);

    void setGranted(bool granted);
    bool isGranted() const { return m_content.isGranted; }
    const PermissionPageContent& content() const { return m_content; }

    PermissionTile* tile() const { return m_tile; }
    QLabel* grantedLabel() const { return m_grantedLabel; }
    const QList<QLabel*>& instructionLabels() const { return m_instructionLabels; }
    QPushButton* settingsButton() const { return m_settingsButton; }

private:
    void render();

    OnboardingStep m_step;
    OnboardingNames m_names;
    OnboardingPlatform m_platform;
    PermissionPageContent m_content;
    PermissionTile* m_tile;
    QWidget* m_grantedRow;
    QLabel* m_grantedLabel;
    QList<QLabel*> m_instructionLabels;
    QPushButton* m_settingsButton;
};

class OnboardingAutomationView : public OnboardingPermissionView {
    Q_OBJECT
public:
    OnboardingAutomationView(const OnboardingNames& names, const OnboardingPlatform& platform,
                             std::function<void()> onOpenSettings, std::function<void()> onContinue,
                             QWidget* parent = nullptr)
        : OnboardingPermissionView(OnboardingStep::automation, names, platform, std::move(onOpenSettings),
                                   std::move(onContinue), parent) {}
};

class OnboardingAccessibilityView : public OnboardingPermissionView {
    Q_OBJECT
public:
    OnboardingAccessibilityView(const OnboardingNames& names, const OnboardingPlatform& platform,
                                std::function<void()> onOpenSettings, std::function<void()> onContinue,
                                QWidget* parent = nullptr)
        : OnboardingPermissionView(OnboardingStep::accessibility, names, platform, std::move(onOpenSettings),
                                   std::move(onContinue), parent) {}
};

} // namespace pylon::ui
