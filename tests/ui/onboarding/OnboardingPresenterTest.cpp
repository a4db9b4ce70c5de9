#include "ui/onboarding/OnboardingPresenter.h"

#include "OnboardingFixture.h"
#include "OnboardingTests.h"
#include "TestBundle.h"
#include "platform/Bundle.h"
#include "ui/onboarding/OnboardingContent.h"
#include "ui/onboarding/OnboardingResources.h"
#include "ui/onboarding/SymbolImage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Status = std::optional<CompanionStatusResponse>;

Q_DECLARE_METATYPE(Status)
Q_DECLARE_METATYPE(std::optional<pylon::ui::OnboardingStep>)

namespace {

const QString ellipsis = QStringLiteral("\u2026");
const QString arrow = QStringLiteral("\u2192");

// The statuses the rules tell apart.
const Status noStatus = std::nullopt;
const Status addonLoadedNothingGranted = companionStatus(true, false, false, false);
const Status addonLoadedAllGranted = companionStatus(true, true, true, true);
const Status addonNotLoaded = companionStatus(false, false, false, true);
const Status addonNotLoadedAccessibilityFlag = companionStatus(false, false, true, true);
const Status accessibilityFlagWithoutShortcut = companionStatus(true, false, true, true);
const Status shortcutWithoutAccessibilityFlag = companionStatus(true, true, false, false);

} // namespace

class OnboardingPresenterTest : public QObject {
    Q_OBJECT
private slots:
    void transitions_data() {
        QTest::addColumn<OnboardingStep>("step");
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("startsController");
        QTest::addColumn<bool>("completes");
        QTest::addColumn<std::optional<OnboardingStep>>("next");
        using S = OnboardingStep;
        const std::optional<S> none;
        QTest::newRow("intro, no status") << S::intro << noStatus << false << false << std::optional(S::eula);
        QTest::newRow("intro, addon not loaded")
            << S::intro << addonNotLoaded << false << false << std::optional(S::eula);
        QTest::newRow("eula starts the controller")
            << S::eula << noStatus << true << false << std::optional(S::automation);
        QTest::newRow("eula, addon not loaded")
            << S::eula << addonNotLoaded << true << false << std::optional(S::automation);
        QTest::newRow("automation, no status")
            << S::automation << noStatus << false << false << std::optional(S::accessibility);
        QTest::newRow("automation, addon loaded")
            << S::automation << addonLoadedNothingGranted << false << false << std::optional(S::accessibility);
        QTest::newRow("automation, all granted")
            << S::automation << addonLoadedAllGranted << false << false << std::optional(S::accessibility);
        QTest::newRow("automation, addon not loaded: complete")
            << S::automation << addonNotLoaded << false << true << none;
        QTest::newRow("automation, addon not loaded with the accessibility flag: complete")
            << S::automation << addonNotLoadedAccessibilityFlag << false << true << none;
        QTest::newRow("accessibility, no status")
            << S::accessibility << noStatus << false << false << std::optional(S::getStarted);
        QTest::newRow("accessibility, all granted")
            << S::accessibility << addonLoadedAllGranted << false << false << std::optional(S::getStarted);
        QTest::newRow("get started completes") << S::getStarted << noStatus << false << true << none;
        QTest::newRow("get started, addon loaded") << S::getStarted << addonLoadedAllGranted << false << true << none;
    }
    void transitions() {
        QFETCH(OnboardingStep, step);
        QFETCH(Status, status);
        QFETCH(bool, startsController);
        QFETCH(bool, completes);
        QFETCH(std::optional<OnboardingStep>, next);
        QCOMPARE(OnboardingPresenter::outcome(step, status), (OnboardingOutcome{startsController, completes, next}));
    }

    void presenterWalksForwardAndStaysOnTheCompletingPage_data() {
        QTest::addColumn<Status>("status");
        QTest::addColumn<QStringList>("steps"); // after each press, until one completes
        QTest::newRow("addon loaded") << addonLoadedNothingGranted
                                      << QStringList{"eula", "automation", "accessibility", "getStarted", "getStarted"};
        QTest::newRow("no status") << noStatus
                                   << QStringList{"eula", "automation", "accessibility", "getStarted", "getStarted"};
        QTest::newRow("addon not loaded") << addonNotLoaded << QStringList{"eula", "automation", "automation"};
    }
    void presenterWalksForwardAndStaysOnTheCompletingPage() {
        QFETCH(Status, status);
        QFETCH(QStringList, steps);
        OnboardingPresenter presenter;
        QCOMPARE(presenter.step(), OnboardingStep::intro);
        QStringList walked;
        int starts = 0;
        for (int press = 0; press < 10; ++press) {
            const OnboardingOutcome outcome = presenter.pressPrimary(status);
            starts += outcome.startsController;
            walked << stepName(presenter.step());
            if (outcome.completes)
                break;
        }
        QCOMPARE(walked, steps);
        QCOMPARE(starts, 1);
    }

    void permissionRequestedOnShow_data() {
        QTest::addColumn<OnboardingStep>("step");
        QTest::addColumn<QString>("permission");
        QTest::newRow("intro") << OnboardingStep::intro << QString();
        QTest::newRow("eula") << OnboardingStep::eula << QString();
        QTest::newRow("automation") << OnboardingStep::automation << QString();
        QTest::newRow("accessibility") << OnboardingStep::accessibility << QStringLiteral("accessibility");
        QTest::newRow("getStarted") << OnboardingStep::getStarted << QString();
    }
    void permissionRequestedOnShow() {
        QFETCH(OnboardingStep, step);
        QFETCH(QString, permission);
        QCOMPARE(OnboardingPresenter::permissionRequestedOnShow(step).value_or(QString()), permission);
    }

    void granted_data() {
        QTest::addColumn<OnboardingStep>("step");
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("granted");
        using S = OnboardingStep;
        QTest::newRow("automation, no status") << S::automation << noStatus << false;
        QTest::newRow("automation, not granted") << S::automation << addonLoadedNothingGranted << false;
        QTest::newRow("automation, granted") << S::automation << addonLoadedAllGranted << true;
        QTest::newRow("automation, granted without addon") << S::automation << addonNotLoaded << true;
        QTest::newRow("accessibility, no status") << S::accessibility << noStatus << false;
        QTest::newRow("accessibility, nothing") << S::accessibility << addonLoadedNothingGranted << false;
        QTest::newRow("accessibility, flag set but no shortcut")
            << S::accessibility << accessibilityFlagWithoutShortcut << false;
        QTest::newRow("accessibility, shortcut available")
            << S::accessibility << shortcutWithoutAccessibilityFlag << true;
        QTest::newRow("accessibility, all") << S::accessibility << addonLoadedAllGranted << true;
    }
    void granted() {
        QFETCH(OnboardingStep, step);
        QFETCH(Status, status);
        QFETCH(bool, granted);
        QCOMPARE(OnboardingPresenter::isGranted(step, status), granted);
    }

    void permissionPages_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<OnboardingStep>("step");
        QTest::addColumn<bool>("granted");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("grantedSentence");
        QTest::addColumn<QStringList>("instructions");
        QTest::addColumn<QList<int>>("secondaryLines");
        QTest::addColumn<QString>("settingsButton");

        const QString automationDescription = QStringLiteral("Pylon uses Automation to communicate with Ableton "
                                                             "Live\nso it can show you the name of the open Live Set.");
        const QString accessibilityDescription =
            QStringLiteral("Pylon uses Accessibility features to save your Live Set from your iPhone.");
        struct Mode {
            const char* name;
            QString identifier;
            QString app;
            QString companion;
        };
        for (const Mode& mode : {Mode{"production", productionIdentifier, "Pylon", "Pylon Companion"},
                                 Mode{"development", developmentIdentifier, "Pylon-Dev", "Pylon Companion-Dev"}}) {
            const QStringList automationLines{
                "You should be prompted to grant permissions. Click Allow to grant \"" + mode.app +
                    "\" access to System Events.",
                "If you're not prompted by Mac OS, open System Settings " + arrow + " Privacy and Security " + arrow +
                    " Automation and turn on \"" + mode.app + "\".",
            };
            const QStringList accessibilityLines{
                "If you're not prompted by Mac OS, open System Settings " + arrow + " Privacy and Security " + arrow +
                    " Accessibility and turn on \"" + mode.companion + "\".",
            };
            QTest::addRow("%s, automation, not granted", mode.name)
                << mode.identifier << OnboardingStep::automation << false << "applescript"
                << "Automation" << automationDescription << QString() << automationLines << QList<int>{1}
                << "Open Automation Settings" + ellipsis;
            QTest::addRow("%s, automation, granted", mode.name)
                << mode.identifier << OnboardingStep::automation << true << "applescript"
                << "Automation" << automationDescription << "Automation permission granted." << QStringList()
                << QList<int>() << QString();
            QTest::addRow("%s, accessibility, not granted", mode.name)
                << mode.identifier << OnboardingStep::accessibility << false << "hand.tap"
                << "Accessibility" << accessibilityDescription << QString() << accessibilityLines << QList<int>()
                << "Open Accessibility Settings" + ellipsis;
            QTest::addRow("%s, accessibility, granted", mode.name)
                << mode.identifier << OnboardingStep::accessibility << true << "hand.tap"
                << "Accessibility" << accessibilityDescription << "Accessibility permission granted." << QStringList()
                << QList<int>() << QString();
        }
    }
    void permissionPages() {
        QFETCH(QString, identifier);
        QFETCH(OnboardingStep, step);
        QFETCH(bool, granted);
        QFETCH(QString, symbol);
        QFETCH(QString, title);
        QFETCH(QString, description);
        QFETCH(QString, grantedSentence);
        QFETCH(QStringList, instructions);
        QFETCH(QList<int>, secondaryLines);
        QFETCH(QString, settingsButton);

        TemporaryHome home;
        const QString bundle = makeBundle(home.path(), QStringLiteral("App"),
                                          bundleInfo(identifier, QStringLiteral("1.0"), QStringLiteral("1")));
        const BuildEnvironment environment(Bundle::atPath(bundle), QStringLiteral("arm64"), home.dataHome());
        const PermissionPageContent page = permissionPageContent(step, granted, OnboardingNames::from(environment));

        QCOMPARE(page.symbol, symbol);
        QVERIFY(isKnownNamedSymbol(page.symbol));
        QCOMPARE(page.title, title);
        QCOMPARE(page.description, description);
        QCOMPARE(page.isGranted, granted);
        if (granted)
            QCOMPARE(page.grantedSentence, grantedSentence);
        QStringList lines;
        QList<int> secondary;
        for (const InstructionLine& line : page.instructions) {
            if (line.tone == TextTone::secondary)
                secondary << lines.size();
            lines << line.text;
        }
        QCOMPARE(lines, instructions);
        QCOMPARE(secondary, secondaryLines);
        QCOMPARE(page.settingsButton.value_or(QString()), settingsButton);
        QCOMPARE(page.button, QStringLiteral("Continue"));
    }

    void fixedTexts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const IntroContent intro = introContent();
        QTest::newRow("intro title") << intro.title << "Pylon";
        QTest::newRow("intro subtitle") << intro.subtitle << "The missing remote control for Ableton Live";
        QTest::newRow("intro hero") << intro.heroImage << "PylonHero";
        QTest::newRow("intro button") << intro.button << "Continue";
        const QStringList features{"hand.draw: Controls at your fingertips",
                                   "square.grid.2x2: Arrangement and session navigation",
                                   "wifi: Runs in the background, over Wi-Fi"};
        QStringList actualFeatures;
        for (const FeatureRowContent& row : intro.features)
            actualFeatures << row.symbol + ": " + row.text;
        QTest::newRow("intro features in order") << actualFeatures.join('|') << features.join('|');
        const EulaContent eula = eulaContent();
        QTest::newRow("eula header") << eula.header << "License Agreement";
        QTest::newRow("eula subheader") << eula.subheader << "Please review and accept to continue";
        QTest::newRow("eula resource") << eula.resourceName + "." + eula.resourceExtension << "eula.md";
        QTest::newRow("eula load error") << eula.loadError << "Error loading license agreement.";
        QTest::newRow("eula footer") << eula.footerNote << "By continuing, you agree to the terms above.";
        QTest::newRow("eula button") << eula.button << "Accept & Continue";
        const GetStartedContent last = getStartedContent();
        QTest::newRow("get started title") << last.title << "Pylon & Ableton Live";
        QTest::newRow("get started subtitle") << last.subtitle << "Just a couple more things to get started";
        QStringList cards;
        for (const GetStartedCard& card : last.cards) {
            cards << card.title + " / " + card.text + " / " + card.emphasis.value_or("-") + " / " +
                         card.image.value_or("-");
        }
        QTest::newRow("get started cards")
            << cards.join('|')
            << QStringList{"Get Pylon for iPhone / On your device, get on the same Wi-Fi "
                           "network as this Mac. From the App Store, install: / Pylon - Ableton "
                           "Live Remote / -",
                           "Set up Live / Open Ableton Live and go to Settings " + arrow +
                               " Link, Tempo & MIDI. Choose Pylon as a Control Surface. / - / "
                               "AbletonMidiSettings"}
                   .join('|');
        QTest::newRow("get started closing title") << last.closingTitle << "Now you\u2019ve got a Pylon on Live!";
        QTest::newRow("get started closing text")
            << last.closingTextBefore + "[" + last.closingSymbol + "]" + last.closingTextAfter
            << "Pylon runs quietly in your menu bar\u2014open the [hand.point.up.fill] menu anytime.";
        QTest::newRow("get started button") << last.button << "Let's Go!";
        QTest::newRow("button, intro") << primaryButtonText(OnboardingStep::intro) << "Continue";
        QTest::newRow("button, eula") << primaryButtonText(OnboardingStep::eula) << "Accept & Continue";
        QTest::newRow("button, automation") << primaryButtonText(OnboardingStep::automation) << "Continue";
        QTest::newRow("button, accessibility") << primaryButtonText(OnboardingStep::accessibility) << "Continue";
        QTest::newRow("button, getStarted") << primaryButtonText(OnboardingStep::getStarted) << "Let's Go!";
    }
    void fixedTexts() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void disclaimerNamesTheTrademarksAndNoAffiliation() {
        const QString disclaimer = introContent().disclaimer;
        for (const char* part : {"designed for use with Ableton Live", "not affiliated with or endorsed by",
                                 "Ableton and Live are trademarks"})
            QVERIFY2(disclaimer.contains(QLatin1String(part)), part);
        QCOMPARE(introContent().heroSize, QSize(250, 249));
    }

    void everyNamedSymbolIsDrawn_data() {
        QTest::addColumn<QString>("symbol");
        for (const char* symbol : {"hand.draw", "square.grid.2x2", "wifi", "applescript", "hand.tap",
                                   "checkmark.circle.fill", "hand.point.up.fill"})
            QTest::newRow(symbol) << QString::fromLatin1(symbol);
    }
    void everyNamedSymbolIsDrawn() {
        QFETCH(QString, symbol);
        const QImage image = namedSymbolPixmap(symbol, 24, Qt::red, 2.0).toImage();
        QCOMPARE(image.size(), QSize(48, 48));
        int painted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 128;
        }
        QVERIFY2(painted > 48, qPrintable(QString::number(painted)));
        QVERIFY(namedSymbolPixmap(QStringLiteral("no.such.symbol"), 24, Qt::red).toImage().pixel(12, 12) == 0);
    }

    void decodeText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString sample = QStringLiteral("# Licence \u2014 caf\u00e9 \u2192 ok");
        QTest::newRow("UTF-8") << sample.toUtf8() << sample;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + sample.toUtf8() << sample;
        QByteArray utf16le("\xFF\xFE");
        QByteArray utf16be("\xFE\xFF");
        for (QChar c : sample) {
            utf16le += char(c.unicode() & 0xff);
            utf16le += char(c.unicode() >> 8);
            utf16be += char(c.unicode() >> 8);
            utf16be += char(c.unicode() & 0xff);
        }
        QTest::newRow("UTF-16 LE with BOM") << utf16le << sample;
        QTest::newRow("UTF-16 BE with BOM") << utf16be << sample;
        QTest::newRow("Latin-1") << QByteArray("caf\xE9 na\xEFve") << QStringLiteral("caf\u00e9 na\u00efve");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void decodeText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(ui::decodeText(bytes), text);
    }

    void agreementFromTheBundle_data() {
        QTest::addColumn<QString>("arrangement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("present") << "file"
                                 << "# Terms\n\nBe *nice*.\n";
        QTest::newRow("missing") << "none"
                                 << "Error loading license agreement.";
        QTest::newRow("unreadable (a folder)") << "folder"
                                               << "Error loading license agreement.";
        QTest::newRow("empty file") << "empty"
                                    << "";
    }
    void agreementFromTheBundle() {
        QFETCH(QString, arrangement);
        QFETCH(QString, expected);
        TemporaryHome home;
        const QString bundle = makeBundle(home.path(), QStringLiteral("Pylon"),
                                          bundleInfo(productionIdentifier, QStringLiteral("1"), QStringLiteral("1")));
        const QString path = bundle + QStringLiteral("/Contents/Resources/eula.md");
        if (arrangement == QLatin1String("file") || arrangement == QLatin1String("empty")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(arrangement == QLatin1String("file") ? expected.toUtf8() : QByteArray());
        } else if (arrangement == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        }
        QCOMPARE(OnboardingResources(bundle).agreementText(), expected);
    }

    void imagesFromTheBundle_data() {
        QTest::addColumn<QString>("arrangement");
        QTest::addColumn<bool>("loads");
        QTest::newRow("the shipped image") << "copy" << true;
        QTest::newRow("missing") << "none" << false;
        QTest::newRow("not an image") << "text" << false;
    }
    void imagesFromTheBundle() {
        QFETCH(QString, arrangement);
        QFETCH(bool, loads);
        TemporaryHome home;
        const QString bundle = makeBundle(home.path(), QStringLiteral("Pylon"),
                                          bundleInfo(productionIdentifier, QStringLiteral("1"), QStringLiteral("1")));
        const QString path = bundle + QStringLiteral("/Contents/Resources/PylonHero.png");
        if (arrangement == QLatin1String("copy"))
            QVERIFY(QFile::copy(sourceResource(QStringLiteral("images/PylonHero.png")), path));
        else if (arrangement == QLatin1String("text"))
            home.writeFile(path.mid(home.path().size() + 1), "not a picture");
        QCOMPARE(!OnboardingResources(bundle).image(QStringLiteral("PylonHero")).isNull(), loads);
    }

    void bothBuiltBundlesShipTheResources_data() {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<QString>("file");
        for (const char* bundle : {"Pylon.app", "Pylon-Dev.app"}) {
            for (const char* file : {"eula.md", "PylonHero.png", "AbletonMidiSettings.png"})
                QTest::addRow("%s %s", bundle, file) << QString::fromLatin1(bundle) << QString::fromLatin1(file);
        }
    }
    void bothBuiltBundlesShipTheResources() {
        QFETCH(QString, bundle);
        QFETCH(QString, file);
        const QString built = qEnvironmentVariable("PYLON_BUILD_DIR", QStringLiteral(PYLON_TEST_BUILD_DIR));
        const QString shipped = built + "/" + bundle + "/Contents/Resources/" + file;
        const QString source = sourceResource(file.endsWith(".png") ? "images/" + file : file);
        QVERIFY2(QFile::exists(shipped), qPrintable(shipped));
        QCOMPARE(readFile(shipped), readFile(source));
    }

    void theShippedAgreementIsTheCurrentVersion() {
        const QString shipped = ui::decodeText(readFile(sourceResource(QStringLiteral("eula.md"))));
        QVERIFY(shipped.contains(QStringLiteral("Version ") + OnboardingStore::currentEulaVersion));
        QVERIFY(shipped.contains(QStringLiteral("Ostrand")));
    }
};

std::unique_ptr<QObject> makeOnboardingPresenterTest() {
    return std::make_unique<OnboardingPresenterTest>();
}

#include "OnboardingPresenterTest.moc"
