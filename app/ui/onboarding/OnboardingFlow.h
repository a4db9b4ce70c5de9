#pragma once

#include "foundation/BuildEnvironment.h"
#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingPresenter.h"
#include "ui/onboarding/OnboardingResources.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QStackedWidget;

namespace pylon {
class OnboardingControllerProtocol;
} // namespace pylon

namespace pylon::ui {

class OnboardingAccessibilityView;
class OnboardingAutomationView;
class OnboardingEulaView;
class OnboardingGetStartedView;
class OnboardingIntroView;
class OnboardingPage;
class OnboardingStore;

// The onboarding shown in the main window until the current licence agreement is accepted: welcome,
// agreement, Automation, Accessibility (skipped while the companion reports its keyboard addon not
// loaded) and the getting-started page, one 480 × 620 page at a time (smaller where the screen is,
// the page then scrolls), forward only.
//
// Accepting the agreement starts the controller. Showing the Accessibility page asks the companion to
// prompt for the permission. The permission pages are redrawn for every new status document.
// `onComplete` runs once per press of the completing button; the application's completion calls
// store.completeOnboarding() and replaces the flow (with deleteLater(): the flow may still be on
// the stack of the button's click).
class OnboardingFlow : public QWidget {
    Q_OBJECT
public:
    // `platform` says what the platform offers and how it words it (see OnboardingPlatform).
    OnboardingFlow(OnboardingStore& store, OnboardingControllerProtocol& controller, std::function<void()> onComplete,
                   const BuildEnvironment& environment, const OnboardingPlatform& platform, QWidget* parent = nullptr);
    ~OnboardingFlow() override;

    OnboardingStep step() const { return m_presenter.step(); }
    OnboardingPage* currentPage() const;
    OnboardingPage* page(OnboardingStep step) const;

    OnboardingIntroView* introView() const { return m_intro; }
    OnboardingEulaView* eulaView() const { return m_eula; }
    OnboardingAutomationView* automationView() const { return m_automation; }
    OnboardingAccessibilityView* accessibilityView() const { return m_accessibility; }
    OnboardingGetStartedView* getStartedView() const { return m_getStarted; }

    // Whether Pylon's tray item shows: the last page says where Pylon lives accordingly.
    void setTrayShown(bool shown);

signals:
    void stepChanged(OnboardingStep step);

protected:
    // The page's primary button has the keyboard focus whenever the flow is shown, so Enter
    // presses it on the first page too.
    void showEvent(QShowEvent* event) override;

private:
    void pressPrimary();
    void enter(OnboardingStep step);
    void redraw();
    void focusPrimary();

    OnboardingStore& m_store;
    OnboardingControllerProtocol& m_controller;
    std::function<void()> m_onComplete;
    OnboardingResources m_resources;
    OnboardingPresenter m_presenter;
    QStackedWidget* m_pages;
    OnboardingIntroView* m_intro;
    OnboardingEulaView* m_eula;
    OnboardingAutomationView* m_automation;
    OnboardingAccessibilityView* m_accessibility;
    OnboardingGetStartedView* m_getStarted;
    QTimer m_focusTimer; // the focus moves once the show has been handled
};

} // namespace pylon::ui
