#include "OnboardingFixture.h"
#include "OnboardingTests.h"
#include "ui/onboarding/OnboardingEulaView.h"
#include "ui/onboarding/OnboardingGetStartedView.h"
#include "ui/onboarding/OnboardingIntroView.h"
#include "ui/onboarding/OnboardingPermissionView.h"
#include "ui/onboarding/OnboardingResources.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

const QString automationUrl =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation");
const QString accessibilityUrl =
    QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");

// How a permission page is drawn right now.
struct Drawn {
    bool badge;
    bool grantedSentence;
    QStringList instructions;
    bool settingsButton;
};

Drawn drawn(const OnboardingPermissionView* view) {
    Drawn result{view->tile()->isBadgeShown(),
                 view->grantedLabel()->isVisibleTo(view),
                 {},
                 view->settingsButton()->isVisibleTo(view)};
    for (const QLabel* label : view->instructionLabels()) {
        if (label->isVisibleTo(view))
            result.instructions << label->text();
    }
    return result;
}

bool showsGranted(const OnboardingPermissionView* view) {
    const Drawn now = drawn(view);
    return now.badge && now.grantedSentence && now.instructions.isEmpty() && !now.settingsButton;
}

bool showsNotGranted(const OnboardingPermissionView* view) {
    const Drawn now = drawn(view);
    return !now.badge && !now.grantedSentence && !now.instructions.isEmpty() && now.settingsButton;
}

// A button's caption as drawn: "&&" shows one "&", a single "&" marks a mnemonic and is not drawn.
QString caption(const QAbstractButton* button) {
    QString text = button->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// Texts of the shown word-wrapped labels on `page` that are lower than their wrapped text needs.
QStringList clippedTexts(QWidget* page) {
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList clipped;
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (label->isVisibleTo(page) && label->wordWrap() && label->height() < label->heightForWidth(label->width()))
            clipped << label->text();
    }
    return clipped;
}

QStringList stepsOf(const QSignalSpy& spy) {
    QStringList steps;
    for (const QList<QVariant>& arguments : spy)
        steps << stepName(arguments.at(0).value<OnboardingStep>());
    return steps;
}

} // namespace

class OnboardingFlowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qRegisterMetaType<OnboardingStep>();
        setUpProcessHome();
    }

    void startsOnTheWelcomePageWithFixedSizePages() {
        OnboardingFixture f;
        OnboardingFlow& flow = f.makeFlow();
        QCOMPARE(flow.step(), OnboardingStep::intro);
        QCOMPARE(flow.currentPage(), static_cast<OnboardingPage*>(flow.introView()));
        const QStringList buttons{"Continue", "Accept & Continue", "Continue", "Continue", "Let's Go!"};
        const OnboardingStep steps[] = {OnboardingStep::intro, OnboardingStep::eula, OnboardingStep::automation,
                                        OnboardingStep::accessibility, OnboardingStep::getStarted};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(flow.page(steps[i])->size(), QSize(480, 620));
            QCOMPARE(caption(flow.page(steps[i])->primaryButton()), buttons[i]);
        }
        QVERIFY(flow.introView()->heroLabel()->pixmap().isNull() == false);
        QStringList rows;
        for (const FeatureRow* row : flow.introView()->featureRows())
            rows << row->icon() + " " + row->text();
        QCOMPARE(rows, (QStringList{"hand.draw Controls at your fingertips",
                                    "square.grid.2x2 Arrangement and session navigation",
                                    "wifi Runs in the background, over Wi-Fi"}));
        QVERIFY(!f.controller->hasStarted());
        QCOMPARE(f.flow->getStartedView()->images().size(), 1);
        QVERIFY(!f.flow->getStartedView()->images().first()->image().isNull());
    }

    void missingImagesLeaveTheirPlacesEmpty() {
        OnboardingFixture f(productionIdentifier, {QStringLiteral("eula.md")});
        OnboardingFlow& flow = f.makeFlow();
        QVERIFY(flow.introView()->heroLabel()->pixmap().isNull());
        QCOMPARE(flow.introView()->heroLabel()->size(), QSize(250, 249));
        QVERIFY(flow.getStartedView()->images().first()->image().isNull());
    }

    void addonLoadedPath_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("companion");
        QTest::newRow("production") << productionIdentifier << "Pylon"
                                    << "Pylon Companion";
        QTest::newRow("development") << developmentIdentifier << "Pylon-Dev"
                                     << "Pylon Companion-Dev";
    }
    void addonLoadedPath() {
        QFETCH(QString, identifier);
        QFETCH(QString, app);
        QFETCH(QString, companion);
        OnboardingFixture f(identifier);
        OnboardingFlow& flow = f.makeFlow();
        QSignalSpy steps(&flow, &OnboardingFlow::stepChanged);
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));

        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::eula);
        const QString agreement = decodeText(readFile(sourceResource(QStringLiteral("eula.md"))));
        QCOMPARE(flow.eulaView()->eulaContent(), agreement);
        const QString rendered = flow.eulaView()->agreementArea()->toPlainText();
        QVERIFY(rendered.startsWith(QStringLiteral("Pylon End-User License Agreement")));
        QVERIFY(!rendered.contains(QStringLiteral("**")));
        QVERIFY(!f.controller->hasStarted());

        f.pressPrimary();
        QVERIFY(f.controller->hasStarted());
        QCOMPARE(flow.step(), OnboardingStep::automation);
        OnboardingPermissionView* automation = flow.automationView();
        f.publish(companionStatus(true, false, false, false));
        QTRY_VERIFY(showsNotGranted(automation));
        QCOMPARE(drawn(automation).instructions.join('|'),
                 "You should be prompted to grant permissions. Click Allow to grant \"" + app +
                     "\" access to System Events.|If you're not prompted by Mac OS, open System Settings \u2192 "
                     "Privacy and Security \u2192 Automation and turn on \"" +
                     app + "\".");
        QCOMPARE(caption(automation->settingsButton()), QStringLiteral("Open Automation Settings\u2026"));
        QTest::mouseClick(automation->settingsButton(), Qt::LeftButton);
        QCOMPARE(f.workspace.urls, QList<QUrl>{QUrl(automationUrl)});

        f.publish(companionStatus(true, false, false, true));
        QTRY_VERIFY(showsGranted(automation));
        QCOMPARE(automation->grantedLabel()->text(), QStringLiteral("Automation permission granted."));
        QCOMPARE(f.permissionRequests("accessibility"), 0);

        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::accessibility);
        QTRY_COMPARE(f.permissionRequests("accessibility"), 1);
        OnboardingPermissionView* accessibility = flow.accessibilityView();
        QVERIFY(showsNotGranted(accessibility));
        QCOMPARE(drawn(accessibility).instructions,
                 QStringList{"If you're not prompted by Mac OS, open System Settings \u2192 Privacy and Security "
                             "\u2192 Accessibility and turn on \"" +
                             companion + "\"."});
        QCOMPARE(caption(accessibility->settingsButton()), QStringLiteral("Open Accessibility Settings\u2026"));
        QTest::mouseClick(accessibility->settingsButton(), Qt::LeftButton);
        QCOMPARE(f.workspace.urls, (QList<QUrl>{QUrl(automationUrl), QUrl(accessibilityUrl)}));

        f.publish(companionStatus(true, true, true, true));
        QTRY_VERIFY(showsGranted(accessibility));
        QCOMPARE(accessibility->grantedLabel()->text(), QStringLiteral("Accessibility permission granted."));

        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::getStarted);
        QCOMPARE(f.completions, 0);
        QVERIFY(!f.store->isComplete());

        f.pressPrimary();
        QCOMPARE(f.completions, 1);
        QCOMPARE(f.defaults.string(OnboardingStore::acceptedEulaVersionKey), std::optional<QString>("1.2"));
        QVERIFY(!f.defaults.string(OnboardingStore::acceptedAtKey).value_or(QString()).isEmpty());
        QCOMPARE(stepsOf(steps), (QStringList{"eula", "automation", "accessibility", "getStarted"}));
        QCOMPARE(f.permissionRequests("accessibility"), 1);
    }

    void addonNotLoadedCompletesFromTheAutomationPage() {
        OnboardingFixture f;
        OnboardingFlow& flow = f.makeFlow();
        QSignalSpy steps(&flow, &OnboardingFlow::stepChanged);
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        f.pressPrimary();
        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::automation);
        f.publish(companionStatus(false, false, false, false));
        QTRY_VERIFY(showsNotGranted(flow.automationView()));

        f.pressPrimary();
        QCOMPARE(f.completions, 1);
        QVERIFY(f.store->isComplete());
        QCOMPARE(flow.step(), OnboardingStep::automation);
        QCOMPARE(stepsOf(steps), (QStringList{"eula", "automation"}));
        // Each press completes once more; the Accessibility page never shows.
        f.pressPrimary();
        QCOMPARE(f.completions, 2);
        QCOMPARE(stepsOf(steps), (QStringList{"eula", "automation"}));
    }

    void withoutStatusTheAccessibilityPageFollows() {
        OnboardingFixture f;
        OnboardingFlow& flow = f.makeFlow();
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        f.pressPrimary();
        f.pressPrimary();
        f.publish(std::nullopt);
        QTRY_VERIFY(showsNotGranted(flow.automationView()));
        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::accessibility);
        QCOMPARE(f.completions, 0);
        QVERIFY(showsNotGranted(flow.accessibilityView()));
    }

    void permissionPagesFollowEveryStatus_data() {
        QTest::addColumn<OnboardingStep>("step");
        QTest::newRow("automation") << OnboardingStep::automation;
        QTest::newRow("accessibility") << OnboardingStep::accessibility;
    }
    void permissionPagesFollowEveryStatus() {
        QFETCH(OnboardingStep, step);
        OnboardingFixture f;
        OnboardingFlow& flow = f.makeFlow();
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        while (flow.step() != step)
            f.pressPrimary();
        auto* view = static_cast<OnboardingPermissionView*>(flow.currentPage());
        struct Change {
            std::optional<CompanionStatusResponse> status;
            bool granted;
        };
        const Change changes[] = {
            {std::nullopt, false},
            {companionStatus(true, true, true, true), true},
            {companionStatus(true, false, true, false), false}, // the shortcut is gone, Automation revoked
            {companionStatus(true, true, false, true), true},   // shortcut available; the flag alone never counts
            {std::nullopt, false},
        };
        for (const Change& change : changes) {
            f.publish(change.status);
            if (change.granted)
                QTRY_VERIFY(showsGranted(view));
            else
                QTRY_VERIFY(showsNotGranted(view));
        }
    }

    void noTextIsClipped_data() {
        QTest::addColumn<QString>("identifier");
        QTest::newRow("production") << productionIdentifier;
        QTest::newRow("development") << developmentIdentifier;
    }
    void noTextIsClipped() {
        QFETCH(QString, identifier);
        OnboardingFixture f(identifier);
        OnboardingFlow& flow = f.makeFlow();
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        f.publish(companionStatus(true, false, false, false));
        for (int page = 0; page < 5; ++page) {
            QCOMPARE(clippedTexts(flow.currentPage()), QStringList());
            if (flow.step() == OnboardingStep::automation || flow.step() == OnboardingStep::accessibility) {
                f.publish(companionStatus(true, true, true, true));
                QTRY_VERIFY(showsGranted(static_cast<OnboardingPermissionView*>(flow.currentPage())));
                QCOMPARE(clippedTexts(flow.currentPage()), QStringList());
                f.publish(companionStatus(true, false, false, false));
                QTRY_VERIFY(showsNotGranted(static_cast<OnboardingPermissionView*>(flow.currentPage())));
            }
            f.pressPrimary();
        }
        QCOMPARE(f.completions, 1);
    }

    void agreementIsReadWhenItsPageShows_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("shown");
        QTest::newRow("present") << true << "# Changed\n\nNew *terms*.\n";
        QTest::newRow("missing") << false << "Error loading license agreement.";
    }
    void agreementIsReadWhenItsPageShows() {
        QFETCH(bool, present);
        QFETCH(QString, shown);
        OnboardingFixture f(productionIdentifier, present ? QStringList{QStringLiteral("eula.md")} : QStringList{});
        OnboardingFlow& flow = f.makeFlow();
        if (present) // written after the flow was built: the page reads the file when it shows
            f.home.writeFile(f.bundlePath.mid(f.home.path().size() + 1) + "/Contents/Resources/eula.md",
                             shown.toUtf8());
        QCOMPARE(flow.eulaView()->eulaContent(), QString());
        f.pressPrimary();
        QCOMPARE(flow.eulaView()->eulaContent(), shown);
        QVERIFY(!flow.eulaView()->agreementArea()->toPlainText().contains('#'));
        f.pressPrimary();
        QCOMPARE(flow.step(), OnboardingStep::automation);
        QVERIFY(f.controller->hasStarted());
    }
};

std::unique_ptr<QObject> makeOnboardingFlowTest() {
    return std::make_unique<OnboardingFlowTest>();
}

#include "OnboardingFlowTest.moc"
