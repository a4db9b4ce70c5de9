#include "OnboardingFixture.h"
#include "foundation/LogWriter.h"
#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingEulaView.h"
#include "ui/onboarding/OnboardingGetStartedView.h"
#include "ui/onboarding/OnboardingIntroView.h"
#include "ui/onboarding/OnboardingPermissionView.h"
#include "ui/onboarding/OnboardingResources.h"

#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QLayout>
#include <QStringEncoder>
#include <QTextBrowser>
#include <QTimeZone>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using S = OnboardingStep;
using Status = std::optional<CompanionStatusResponse>;

namespace {

const QString agreementError = QStringLiteral("Error loading license agreement.");

// A button's caption as drawn: "&&" shows one "&", a single "&" marks a mnemonic and is not drawn.
QString caption(const QAbstractButton* button) {
    return button->text().replace("&&", "\x01").remove('&').replace('\x01', '&');
}

// True while a permission page is drawn granted (badge and sentence, no instructions nor settings button), false
// while it is drawn not granted (the reverse), nothing when it is drawn half of each.
std::optional<bool> drawnGranted(const OnboardingPermissionView* view) {
    bool instructions = false;
    for (const QLabel* label : view->instructionLabels())
        instructions = instructions || label->isVisibleTo(view);
    const QList<bool> parts{view->tile()->isBadgeShown(), view->grantedLabel()->isVisibleTo(view), !instructions,
                            !view->settingsButton()->isVisibleTo(view)};
    return parts.count(parts[0]) == parts.size() ? std::optional(parts[0]) : std::nullopt;
}

// A store over defaults in a temporary folder, logging into a log file of its own.
struct StoreFixture {
    explicit StoreFixture(std::optional<QString> storedVersion) {
        if (storedVersion)
            defaults.setString(QStringLiteral("pylon.onboarding.acceptedEulaVersion"), *storedVersion);
        store = std::make_unique<OnboardingStore>(defaults, log);
    }
    QStringList messages() {
        writer.flush();
        QStringList messages; // of the lines "<time> [<subsystem>][<component>] <message>"
        for (const QString& line : QString(readFile(home.path() + "/logs/menubar.log")).split('\n', Qt::SkipEmptyParts))
            messages << line.mid(line.indexOf("] ", line.indexOf("][")) + 2);
        return messages;
    }
    // What another process reads from the defaults file.
    std::optional<QString> persisted(const QString& key) {
        defaults.synchronize();
        return UserDefaults(productionIdentifier, home.configHome()).string(key);
    }
    TemporaryHome home;
    LogWriter writer{home.path() + "/logs", home.path() + "/logs/menubar.log"};
    FileLogger log{QStringLiteral("menubar"), productionIdentifier, writer};
    UserDefaults defaults{productionIdentifier, home.configHome()};
    std::unique_ptr<OnboardingStore> store;
};

} // namespace

// The onboarding presenter and content, the store, and the flow's widgets offscreen.
class OnboardingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpProcessHome(); }

    void presenterRules() {
        const Status none, loaded = companionStatus(true, false, false, false);
        const Status notLoaded = companionStatus(false, false, false, true);
        const struct { S step; Status status; OnboardingOutcome outcome; } rows[] = {
            {S::intro, notLoaded, {false, false, S::eula}},
            {S::eula, notLoaded, {true, false, S::automation}},
            {S::automation, none, {false, false, S::accessibility}},
            {S::automation, loaded, {false, false, S::accessibility}},
            {S::automation, notLoaded, {false, true, std::nullopt}},
            {S::automation, companionStatus(false, false, true, true), {false, true, std::nullopt}},
            {S::accessibility, companionStatus(true, true, true, true), {false, false, S::getStarted}},
            {S::getStarted, none, {false, true, std::nullopt}},
        };
        for (const auto& row : rows)
            QCOMPARE(OnboardingPresenter::outcome(row.step, row.status), row.outcome);
        for (S step : {S::intro, S::eula, S::automation, S::accessibility, S::getStarted})
            QCOMPARE(OnboardingPresenter::permissionRequestedOnShow(step).value_or(""),
                     QString(step == S::accessibility ? "accessibility" : ""));
        QVERIFY(!OnboardingPresenter::isGranted(S::automation, none));
        QVERIFY(!OnboardingPresenter::isGranted(S::automation, companionStatus(true, true, true, false)));
        QVERIFY(OnboardingPresenter::isGranted(S::automation, notLoaded));
        QVERIFY(!OnboardingPresenter::isGranted(S::accessibility, none));
        QVERIFY(!OnboardingPresenter::isGranted(S::accessibility, companionStatus(true, false, true, true)));
        QVERIFY(OnboardingPresenter::isGranted(S::accessibility, companionStatus(true, true, false, false)));
    }

    void permissionPagesInBothModes() {
        const QString settings = "If you're not prompted by Mac OS, open System Settings \u2192 Privacy and Security \u2192 ";
        for (const auto& [identifier, app, companion] :
             {std::tuple<QString, QString, QString>{productionIdentifier, "Pylon", "Pylon Companion"},
              {developmentIdentifier, "Pylon-Dev", "Pylon Companion-Dev"}}) {
            OnboardingFixture f(identifier, {});
            const auto page = [&](S step, bool granted) {
                return permissionPageContent(step, granted, OnboardingNames::from(f.environment),
                                             OnboardingPlatform{&f.wording});
            };
            const auto lines = [](const PermissionPageContent& content) { // "~" marks secondary text
                QStringList lines;
                for (const InstructionLine& line : content.instructions)
                    lines << (line.tone == TextTone::secondary ? "~" : "") + line.text;
                return lines;
            };
            QCOMPARE(lines(page(S::automation, false)),
                     (QStringList{"You should be prompted to grant permissions. Click Allow to grant \"" + app +
                                      "\" access to System Events.",
                                  "~" + settings + "Automation and turn on \"" + app + "\"."}));
            QCOMPARE(lines(page(S::accessibility, false)),
                     QStringList{settings + "Accessibility and turn on \"" + companion + "\"."});
            for (S step : {S::automation, S::accessibility}) { // granted: a sentence instead of instructions and button
                QVERIFY(page(step, true).isGranted && page(step, true).instructions.isEmpty());
                QVERIFY(!page(step, true).settingsButton && page(step, false).settingsButton);
                QVERIFY(!page(step, true).grantedSentence.isEmpty() && !page(step, false).isGranted);
            }
        }
    }

    // The agreement and the pictures as the bundle has them, or not; the agreement's encodings.
    void resourcesFromTheBundle() {
        OnboardingFixture f(productionIdentifier, {});
        const OnboardingResources resources(f.bundlePath);
        QCOMPARE(resources.agreementText(), agreementError); // missing
        QVERIFY(QDir().mkpath(f.resourcePath("eula.md")));
        QCOMPARE(resources.agreementText(), agreementError); // unreadable: a folder
        QVERIFY(QDir().rmdir(f.resourcePath("eula.md")) && f.writeResource("eula.md", ""));
        QCOMPARE(resources.agreementText(), QString());
        QVERIFY(f.writeResource("eula.md", "# Terms\n\nBe *nice*.\n"));
        QCOMPARE(resources.agreementText(), QStringLiteral("# Terms\n\nBe *nice*.\n"));
        QVERIFY(resources.image("PylonHero").isNull());
        QVERIFY(f.writeResource("PylonHero.png", "not a picture"));
        QVERIFY(resources.image("PylonHero").isNull());
        QVERIFY(f.writeResource("PylonHero.png", readFile(sourceResource("images/PylonHero.png"))));
        QVERIFY(!resources.image("PylonHero").isNull());
        const QString sample = QStringLiteral("# Licence \u2014 caf\u00e9 \u2192 ok");
        for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE})
            QCOMPARE(decodeText(QStringEncoder(encoding, QStringConverter::Flag::WriteBom)(sample)), sample);
        QCOMPARE(decodeText(sample.toUtf8()), sample); // without a byte order mark
        QCOMPARE(decodeText("caf\xE9 na\xEFve"), QStringLiteral("caf\u00e9 na\u00efve")); // Latin-1
    }

    void bothBuiltBundlesShipTheResources() {
        for (const QString bundle : {"Pylon.app", "Pylon-Dev.app"}) {
            for (const QString file : {"eula.md", "PylonHero.png", "AbletonMidiSettings.png"}) {
                const QString shipped = PYLON_TEST_BUILD_DIR "/" + bundle + "/Contents/Resources/" + file;
                QVERIFY2(QFile::exists(shipped), qPrintable(shipped));
                QCOMPARE(readFile(shipped), readFile(sourceResource(file.endsWith(".png") ? "images/" + file : file)));
            }
        }
        const QString agreement = decodeText(readFile(sourceResource("eula.md")));
        QVERIFY(agreement.contains("Version " + OnboardingStore::currentEulaVersion) && agreement.contains("Ostrand"));
    }

    void storeInitLineAndResetArgument() {
        const struct { std::optional<QString> stored; QString shown; bool complete; } rows[] = {
            {std::nullopt, "nil", false}, {"1.2", "1.2", true}, {"", "", false},
            {"1.20", "1.20", false}, // a string compare, not a number's
        };
        for (const auto& row : rows) {
            StoreFixture f(row.stored);
            QCOMPARE(f.messages(), QStringList{"Onboarding: init (stored='" + row.shown + "', complete=" +
                                               (row.complete ? "true" : "false") + ")"});
            QCOMPARE(f.store->isComplete(), row.complete);
            QCOMPARE(f.store->acceptedEulaVersion(), row.stored.value_or(""));
        }
        const std::pair<QStringList, bool> launches[] = {
            {{"Pylon", "--headless", "-resetOnboarding", "x"}, true},
            {{"Pylon", "--resetOnboarding"}, false},
            {{"Pylon", "-resetonboarding"}, false},
            {{"Pylon", "-resetOnboarding=1"}, false},
        };
        for (const auto& [arguments, resets] : launches) {
            StoreFixture f("1.2");
            f.defaults.setString(QStringLiteral("pylon.onboarding.acceptedAt"), QStringLiteral("2025-01-01T00:00:00Z"));
            QSignalSpy changed(f.store.get(), &OnboardingStore::changed);
            QCOMPARE(f.store->applyLaunchArguments(arguments), resets);
            const QString init = "Onboarding: init (stored='1.2', complete=true)";
            QCOMPARE(f.messages(), (resets ? QStringList{init, "Onboarding: reset via -resetOnboarding flag"} : QStringList{init}));
            QCOMPARE(changed.size(), resets ? 1 : 0);
            QCOMPARE(f.store->isComplete(), !resets);
            QCOMPARE(f.persisted("pylon.onboarding.acceptedEulaVersion").has_value(), !resets);
            QCOMPARE(f.persisted("pylon.onboarding.acceptedAt").has_value(), !resets);
        }
    }

    void storeCompletion() {
        StoreFixture f("1.1"); // a clock in another zone, just after midnight there
        f.store->setClock([] { return QDateTime(QDate(2025, 3, 4), QTime(0, 30, 0, 481), QTimeZone(2 * 3600)); });
        QSignalSpy changed(f.store.get(), &OnboardingStore::changed);
        f.store->completeOnboarding();
        QVERIFY(changed.size() == 1 && f.store->isComplete());
        QCOMPARE(f.persisted("pylon.onboarding.acceptedEulaVersion"), std::optional<QString>("1.2"));
        QCOMPARE(f.persisted("pylon.onboarding.acceptedAt"), std::optional<QString>("2025-03-03T22:30:00Z"));
        QCOMPARE(f.messages(), (QStringList{"Onboarding: init (stored='1.1', complete=false)",
                                            "Onboarding: completed (EULA v1.2)"}));
    }

    void pagesAndMissingResources() {
        OnboardingFixture f;
        OnboardingFlow& flow = f.makeFlow();
        QCOMPARE(flow.currentPage(), flow.page(S::intro));
        const QStringList buttons{"Continue", "Accept & Continue", "Continue", "Continue", "Let's Go!"};
        for (S step : {S::intro, S::eula, S::automation, S::accessibility, S::getStarted}) {
            // The design's size is what each page asks for; smaller, the content scrolls and the
            // footer with its button stays whole.
            QCOMPARE(flow.page(step)->sizeHint(), QSize(480, 620));
            // A 2x desktop on a 1000-pixel screen leaves a page about 460 high: every page fits in less.
            QVERIFY2(flow.page(step)->layout()->minimumSize().height() <= 440, qPrintable(stepName(step)));
            QCOMPARE(caption(flow.page(step)->primaryButton()), buttons[int(step)]);
        }
        QCOMPARE(flow.introView()->featureRows().size(), 3);
        QVERIFY(!flow.introView()->heroLabel()->pixmap().isNull() && !flow.getStartedView()->images()[0]->image().isNull());

        OnboardingFixture bare(productionIdentifier, {}); // missing images leave their places empty
        bare.makeFlow();
        QVERIFY(bare.flow->introView()->heroLabel()->pixmap().isNull() && bare.flow->getStartedView()->images()[0]->image().isNull());
        QCOMPARE(bare.flow->introView()->heroLabel()->size(), QSize(250, 249));
        bare.pressPrimary();
        QCOMPARE(bare.flow->eulaView()->eulaContent(), agreementError);
    }

    void addonLoadedPathInBothModes() {
        for (const auto& [identifier, app] : {std::pair<QString, QString>{productionIdentifier, "\"Pylon\""},
                                              {developmentIdentifier, "\"Pylon-Dev\""}}) {
            OnboardingFixture f(identifier);
            OnboardingFlow& flow = f.makeFlow();
            QVERIFY(f.writeResource("eula.md", "# Changed\n\nNew *terms*.\n")); // read when its page shows
            QCOMPARE(flow.eulaView()->eulaContent(), QString());
            f.pressPrimary();
            QCOMPARE(flow.eulaView()->eulaContent(), QStringLiteral("# Changed\n\nNew *terms*.\n"));
            QCOMPARE(flow.eulaView()->agreementArea()->toPlainText().trimmed(), QStringLiteral("Changed\nNew terms."));
            QVERIFY(!f.controller->hasStarted());

            f.pressPrimary(); // accepting starts the controller
            QVERIFY(f.controller->hasStarted());
            OnboardingPermissionView* automation = flow.automationView();
            f.publish(companionStatus(true, false, false, false));
            QCOMPARE(drawnGranted(automation), std::optional(false));
            QVERIFY(automation->instructionLabels().first()->text().contains(app));
            QTest::mouseClick(automation->settingsButton(), Qt::LeftButton);
            f.publish(companionStatus(true, false, false, true));
            QCOMPARE(drawnGranted(automation), std::optional(true));
            f.publish(std::nullopt); // every status redraws the page
            QCOMPARE(drawnGranted(automation), std::optional(false));
            f.publish(companionStatus(true, false, false, true));
            QCOMPARE(drawnGranted(automation), std::optional(true));
            QCOMPARE(f.permissionRequests(), 0);

            f.pressPrimary(); // the Accessibility page asks the companion for the permission as it shows
            QTRY_COMPARE(f.permissionRequests(), 1);
            QCOMPARE(drawnGranted(flow.accessibilityView()), std::optional(false));
            QTest::mouseClick(flow.accessibilityView()->settingsButton(), Qt::LeftButton);
            const QString settings = "x-apple.systempreferences:com.apple.preference.security?Privacy_";
            QCOMPARE(f.workspace.urls, (QList<QUrl>{QUrl(settings + "Automation"), QUrl(settings + "Accessibility")}));
            f.publish(companionStatus(true, false, true, true)); // the Accessibility flag alone never counts
            QCOMPARE(drawnGranted(flow.accessibilityView()), std::optional(false));
            f.publish(companionStatus(true, true, false, true));
            QCOMPARE(drawnGranted(flow.accessibilityView()), std::optional(true));

            f.pressPrimary(); // a user who just granted both still gets the last page
            QVERIFY(f.completions == 0 && !f.store->isComplete());
            f.pressPrimary();
            QVERIFY(f.completions == 1 && f.permissionRequests() == 1); // asked once only
            QCOMPARE(f.defaults.string(OnboardingStore::acceptedEulaVersionKey), std::optional<QString>("1.2"));
            QVERIFY(!f.defaults.string(OnboardingStore::acceptedAtKey).value_or(QString()).isEmpty());
            QCOMPARE(f.steps, (QStringList{"eula", "automation", "accessibility", "getStarted"}));
        }
    }

    void addonNotLoadedCompletesFromTheAutomationPage() {
        OnboardingFixture f;
        f.makeFlow();
        f.pressPrimary();
        f.pressPrimary();
        f.publish(companionStatus(false, false, false, false));
        f.pressPrimary();
        QVERIFY(f.completions == 1 && f.store->isComplete());
        f.pressPrimary(); // each press completes once more; the Accessibility page never shows
        QCOMPARE(f.completions, 2);
        QCOMPARE(f.steps, (QStringList{"eula", "automation"}));
    }
};

QTEST_MAIN(OnboardingTest)
#include "tst_ui_onboarding.moc"
