#include "OnboardingFixture.h"
#include "OnboardingTests.h"

#include <QApplication>
#include <QTest>

// Runs the onboarding suites in one process: the presenter and content tables, the store, and the
// flow's widgets offscreen.
int main(int argc, char** argv) {
    QApplication application(argc, argv);
    pylon::test::setUpProcessHome();
    int failures = 0;
    for (const auto& make : {makeOnboardingPresenterTest, makeOnboardingStoreTest, makeOnboardingFlowTest}) {
        const std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
