#include "ui/onboarding/OnboardingFlow.h"

#include "core/ViewControllerProtocols.h"
#include "status/DynamicStatus.h"
#include "ui/onboarding/OnboardingEulaView.h"
#include "ui/onboarding/OnboardingGetStartedView.h"
#include "ui/onboarding/OnboardingIntroView.h"
#include "ui/onboarding/OnboardingPermissionView.h"
#include "ui/onboarding/OnboardingStore.h"

#include <QGridLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

namespace pylon::ui {

OnboardingFlow::OnboardingFlow(OnboardingStore& store, OnboardingControllerProtocol& controller,
                               std::function<void()> onComplete, const BuildEnvironment& environment,
                               const OnboardingPlatform& platform, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_controller(controller)
    , m_onComplete(std::move(onComplete))
    , m_resources(environment.bundlePath()) {
    setObjectName(QStringLiteral("onboarding"));
    const OnboardingNames names = OnboardingNames::from(environment);
    auto next = [this] { pressPrimary(); };

    m_intro = new OnboardingIntroView(m_resources.image(introContent().heroImage), next);
    m_eula = new OnboardingEulaView(next);
    m_automation = new OnboardingAutomationView(
        names, platform, [this] { m_controller.openAutomationSettings(); }, next);
    m_accessibility = new OnboardingAccessibilityView(
        names, platform, [this] { m_controller.openAccessibilitySettings(); }, next);
    m_getStarted = new OnboardingGetStartedView([this](const QString& name) { return m_resources.image(name); },
                                                platform, next);

    m_pages = new QStackedWidget;
    for (QWidget* view :
         {static_cast<QWidget*>(m_intro), static_cast<QWidget*>(m_eula), static_cast<QWidget*>(m_automation),
          static_cast<QWidget*>(m_accessibility), static_cast<QWidget*>(m_getStarted)})
        m_pages->addWidget(view);

    // Centred when the window is larger than a page.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages, 0, 0, Qt::AlignCenter);

    connect(&m_controller.dynamicStatus(), &DynamicStatus::changed, this, &OnboardingFlow::redraw);
    connect(&m_store, &OnboardingStore::changed, this, &OnboardingFlow::redraw);
    m_focusTimer.setSingleShot(true);
    m_focusTimer.setInterval(0);
    connect(&m_focusTimer, &QTimer::timeout, this, &OnboardingFlow::focusPrimary);
    enter(m_presenter.step());
}

OnboardingFlow::~OnboardingFlow() = default;

OnboardingPage* OnboardingFlow::page(OnboardingStep step) const {
    switch (step) {
    case OnboardingStep::intro:
        return m_intro;
    case OnboardingStep::eula:
        return m_eula;
    case OnboardingStep::automation:
        return m_automation;
    case OnboardingStep::accessibility:
        return m_accessibility;
    case OnboardingStep::getStarted:
        return m_getStarted;
    }
    return nullptr;
}

OnboardingPage* OnboardingFlow::currentPage() const {
    return page(step());
}

void OnboardingFlow::pressPrimary() {
    const OnboardingOutcome outcome = m_presenter.pressPrimary(m_controller.dynamicStatus().companionStatus());
    if (outcome.startsController)
        m_controller.start();
    if (outcome.completes) {
        // The completion may replace this flow: nothing of it is touched afterwards.
        if (m_onComplete)
            m_onComplete();
        return;
    }
    if (outcome.nextStep)
        enter(*outcome.nextStep);
}

void OnboardingFlow::enter(OnboardingStep step) {
    if (step == OnboardingStep::eula)
        m_eula->setEulaContent(m_resources.agreementText());
    redraw();
    OnboardingPage* shown = page(step);
    m_pages->setCurrentWidget(shown);
    shown->primaryButton()->setFocus();
    if (const std::optional<QString> permission = OnboardingPresenter::permissionRequestedOnShow(step)) {
        // Runs on its own; its outcome shows only through later status documents.
        m_controller.requestPermission(*permission);
    }
    emit stepChanged(step);
}

void OnboardingFlow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_focusTimer.start();
}

void OnboardingFlow::focusPrimary() {
    if (OnboardingPage* shown = currentPage(); shown && !shown->isAncestorOf(focusWidget()))
        shown->primaryButton()->setFocus(Qt::OtherFocusReason);
}

void OnboardingFlow::setTrayShown(bool shown) {
    m_getStarted->setTrayShown(shown);
}

void OnboardingFlow::redraw() {
    const std::optional<CompanionStatusResponse> companion = m_controller.dynamicStatus().companionStatus();
    m_automation->setGranted(OnboardingPresenter::isGranted(OnboardingStep::automation, companion));
    m_accessibility->setGranted(OnboardingPresenter::isGranted(OnboardingStep::accessibility, companion));
}

} // namespace pylon::ui
