#pragma once

#include <QObject>
#include <memory>

// The onboarding suites of tst_ui_onboarding, run one after the other by its main().
std::unique_ptr<QObject> makeOnboardingPresenterTest();
std::unique_ptr<QObject> makeOnboardingStoreTest();
std::unique_ptr<QObject> makeOnboardingFlowTest();
