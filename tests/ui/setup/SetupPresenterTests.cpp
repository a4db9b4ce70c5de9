#include "UiTestSupport.h"
#include "status/PylonError.h"
#include "ui/common/Style.h"
#include "ui/setup/SetupPresenter.h"
#include "ui/setup/VersionRowPresenter.h"

#include <QPalette>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Kind = CompanionState::Kind;

Q_DECLARE_METATYPE(pylon::CompanionState::Kind)
Q_DECLARE_METATYPE(pylon::ui::Tint)
Q_DECLARE_METATYPE(pylon::ui::Symbol)
Q_DECLARE_METATYPE(pylon::ui::StatusFacts)
Q_DECLARE_METATYPE(pylon::AbletonVersion)
Q_DECLARE_METATYPE(std::optional<pylon::AbletonCondition>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

CompanionState stateOf(Kind kind) {
    return kind == Kind::error ? CompanionState::failed(PylonError::companionLaunchFailed("Binary not found"))
                               : CompanionState(kind);
}

StatusFacts facts(std::optional<AbletonCondition> live, std::optional<QString> version, std::optional<qint64> count) {
    return {live, version, count};
}

QString operationName(SetupOperation operation) {
    switch (operation) {
    case SetupOperation::openLoginItemsSettings:
        return QStringLiteral("openLoginItemsSettings");
    case SetupOperation::openAccessibilitySettings:
        return QStringLiteral("openAccessibilitySettings");
    case SetupOperation::openAutomationSettings:
        return QStringLiteral("openAutomationSettings");
    case SetupOperation::restartCompanion:
        return QStringLiteral("restartCompanion");
    case SetupOperation::openLogFile:
        return QStringLiteral("openLogFile");
    case SetupOperation::installRemoteScriptFromBundle:
        return QStringLiteral("installRemoteScriptFromBundle");
    case SetupOperation::openRemoteScriptsFolder:
        return QStringLiteral("openRemoteScriptsFolder");
    case SetupOperation::showStagedRemoteScript:
        return QStringLiteral("showStagedRemoteScript");
    }
    return {};
}

// "[Text -> operation]" for a button ("!" before the text when prominent, "(disabled)" after).
QString describe(const SetupButton& button) {
    return QStringLiteral("[") + (button.prominent ? QStringLiteral("!") : QString()) + button.text +
           QStringLiteral(" -> ") + operationName(button.operation) + QStringLiteral("]") +
           (button.enabled ? QString() : QStringLiteral("(disabled)"));
}

// One line per block: its button, then its text, "~" marking secondary text.
QStringList describe(const ActionsContent& content) {
    QStringList lines;
    if (content.showsSetupHelp)
        lines << QStringLiteral("setup help");
    if (content.showsProgress)
        lines << QStringLiteral("progress");
    for (const ActionsBlock& block : content.blocks) {
        QStringList parts;
        if (block.button)
            parts << describe(*block.button);
        if (!block.text.isEmpty())
            parts << (block.secondary ? QStringLiteral("~") : QString()) + block.text;
        lines << parts.join(QLatin1Char(' '));
    }
    return lines;
}

QStringList describe(const RowContent& content) {
    QStringList lines;
    if (content.explanation)
        lines << QStringLiteral("~") + *content.explanation;
    for (const SetupButton& button : content.buttons)
        lines << describe(button);
    return lines;
}

const QString accessibilityText =
    QStringLiteral("~Accessibility permission lets you save your Live Set from Pylon on your iPhone.");
const QString automationText = QStringLiteral("~Automation permission lets Pylon read the name of the open Live Set.");
const QString restartNote = QStringLiteral("~You may need to restart Pylon after granting permission.");

} // namespace

class SetupPresenterTest : public QObject {
    Q_OBJECT
private slots:
    void liveCaptionAndColour_data() {
        QTest::addColumn<StatusFacts>("facts");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<Tint>("tint");
        QTest::newRow("no status") << StatusFacts{} << "Live not running" << Tint::gray;
        QTest::newRow("not running") << facts(AbletonCondition::notRunning, "12.1.5", 0) << "Live not running"
                                     << Tint::gray;
        QTest::newRow("running 12.1.5") << facts(AbletonCondition::running, "12.1.5", 0) << "Live 12.1.5 running"
                                        << Tint::green;
        QTest::newRow("running, no version")
            << facts(AbletonCondition::running, {}, 0) << "Live running" << Tint::green;
        QTest::newRow("connected 12.1.5")
            << facts(AbletonCondition::connected, "12.1.5", 0) << "Live 12.1.5 connected" << Tint::green;
        QTest::newRow("connected, no version")
            << facts(AbletonCondition::connected, {}, 0) << "Live connected" << Tint::green;
        QTest::newRow("busy") << facts(AbletonCondition::busy, "12.1.5", 0) << "Live busy (dialog open)" << Tint::green;
        QTest::newRow("unresponsive") << facts(AbletonCondition::unresponsive, {}, 0) << "Live not responding"
                                      << Tint::green;
    }
    void liveCaptionAndColour() {
        QFETCH(StatusFacts, facts);
        QFETCH(QString, caption);
        QFETCH(Tint, tint);
        const ConnectionContent content = connectionContent(Kind::running, facts);
        QCOMPARE(content.live, (DeviceCaption{QStringLiteral("Live"), caption}));
        QCOMPARE(content.liveTint, tint);
        QCOMPARE(content.liveLinkTint, tint);
    }

    void macCaptionAndColour_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<Tint>("tint");
        QTest::newRow("running") << Kind::running << "Running" << Tint::green;
        QTest::newRow("starting") << Kind::startingUp << "Starting\u2026" << Tint::gray;
        const QString needs = QStringLiteral("Running, but needs permission for some features");
        QTest::newRow("needs accessibility") << Kind::runningNeedsAccessibility << needs << Tint::green;
        QTest::newRow("needs automation") << Kind::runningNeedsAutomation << needs << Tint::green;
        QTest::newRow("needs both") << Kind::runningNeedsBothPermissions << needs << Tint::green;
        QTest::newRow("not running") << Kind::notRunning << "Not running" << Tint::gray;
        QTest::newRow("approval") << Kind::requiresLoginItemApproval << "Requires login item approval" << Tint::yellow;
        QTest::newRow("E02") << Kind::error << "Companion launch failed" << Tint::red;
    }
    void macCaptionAndColour() {
        QFETCH(Kind, kind);
        QFETCH(QString, caption);
        QFETCH(Tint, tint);
        const ConnectionContent content = connectionContent(stateOf(kind), StatusFacts{});
        QCOMPARE(content.mac, (DeviceCaption{QStringLiteral("Pylon Companion"), caption}));
        QCOMPARE(content.macTint, tint);
    }

    void phoneCaptionAndColour_data() {
        QTest::addColumn<StatusFacts>("facts");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<Tint>("tint");
        QTest::newRow("no status") << StatusFacts{} << "Open Pylon on your iPhone" << Tint::gray;
        QTest::newRow("0") << facts({}, {}, 0) << "Open Pylon on your iPhone" << Tint::gray;
        QTest::newRow("1") << facts({}, {}, 1) << "Connected" << Tint::green;
        QTest::newRow("2") << facts({}, {}, 2) << "2 devices connected" << Tint::green;
        QTest::newRow("10") << facts({}, {}, 10) << "10 devices connected" << Tint::green;
    }
    void phoneCaptionAndColour() {
        QFETCH(StatusFacts, facts);
        QFETCH(QString, caption);
        QFETCH(Tint, tint);
        const ConnectionContent content = connectionContent(Kind::running, facts);
        QCOMPARE(content.phone, (DeviceCaption{QStringLiteral("Pylon App"), caption}));
        QCOMPARE(content.phoneTint, tint);
        QCOMPARE(content.phoneLinkTint, tint);
    }

    void factsFromTheLastDocument() {
        const StatusFacts none = statusFacts(std::nullopt);
        QVERIFY(!none.liveCondition && !none.liveVersion && !none.clientCount);
        QVERIFY(!none.liveRunning() && !none.phoneLinked());
        const StatusFacts some = statusFacts(statusWith(true, true, true, 3, AbletonCondition::busy, "11.3"));
        QCOMPARE(some.liveCondition, std::optional(AbletonCondition::busy));
        QCOMPARE(some.liveVersion, std::optional(QStringLiteral("11.3")));
        QCOMPARE(some.clientCount, std::optional<qint64>(3));
        QVERIFY(some.liveRunning() && some.phoneLinked());
    }

    void actionsByState_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<std::optional<AbletonCondition>>("live");
        QTest::addColumn<QStringList>("expected");
        const std::optional<AbletonCondition> none;
        QTest::newRow("running, no Live") << Kind::running << none << QStringList{};
        QTest::newRow("running, Live connected")
            << Kind::running << std::optional(AbletonCondition::connected) << QStringList{};
        QTest::newRow("running, Live busy") << Kind::running << std::optional(AbletonCondition::busy) << QStringList{};
        QTest::newRow("running, Live running")
            << Kind::running << std::optional(AbletonCondition::running) << QStringList{QStringLiteral("setup help")};
        QTest::newRow("starting, Live running")
            << Kind::startingUp << std::optional(AbletonCondition::running)
            << QStringList{QStringLiteral("progress"), QStringLiteral("Starting companion\u2026")};
        QTest::newRow("needs accessibility")
            << Kind::runningNeedsAccessibility << none
            << QStringList{QStringLiteral("[Open Accessibility Settings -> openAccessibilitySettings] ") +
                               accessibilityText,
                           restartNote};
        QTest::newRow("needs automation")
            << Kind::runningNeedsAutomation << std::optional(AbletonCondition::running)
            << QStringList{QStringLiteral("[Open Automation Settings -> openAutomationSettings] ") + automationText,
                           restartNote};
        QTest::newRow("needs both")
            << Kind::runningNeedsBothPermissions << none
            << QStringList{QStringLiteral("[Open Accessibility Settings -> openAccessibilitySettings] ") +
                               accessibilityText,
                           QStringLiteral("[Open Automation Settings -> openAutomationSettings] ") + automationText,
                           restartNote};
        QTest::newRow("not running") << Kind::notRunning << none
                                     << QStringList{QStringLiteral("[!Start -> restartCompanion]")};
        QTest::newRow("approval") << Kind::requiresLoginItemApproval << none
                                  << QStringList{
                                         QStringLiteral("[!Open Login Items Settings -> openLoginItemsSettings] "
                                                        "Pylon needs permission to run in the background.")};
        QTest::newRow("E02") << Kind::error << none
                             << QStringList{QStringLiteral("[!Try Restarting -> restartCompanion] Pylon Companion "
                                                           "couldn't start. Try restarting it. (E02)")};
    }
    void actionsByState() {
        QFETCH(Kind, kind);
        QFETCH(std::optional<AbletonCondition>, live);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(actionsContent(stateOf(kind), live)), expected);
    }

    void setupHelpText() {
        QCOMPARE(ui::setupHelpText(),
                 QStringLiteral("Choose Pylon as a Control Surface in Live's Settings \u2192 Link, Tempo & MIDI."));
    }

    void names_data() {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QString>("number");
        QTest::newRow("Live 12") << "Live 12 User Library"
                                 << "Live 12"
                                 << "12";
        QTest::newRow("Live 11") << "Live 11 User Library"
                                 << "Live 11"
                                 << "11";
        QTest::newRow("plain") << "Live 10"
                               << "Live 10"
                               << "10";
    }
    void names() {
        QFETCH(QString, displayName);
        QFETCH(QString, shortName);
        QFETCH(QString, number);
        AbletonVersion version;
        version.displayName = displayName;
        QCOMPARE(ui::shortName(version), shortName);
        QCOMPARE(versionNumber(version), number);
    }

    void rowHeaderRulesInOrder_data() {
        QTest::addColumn<AbletonVersion>("version");
        QTest::addColumn<StatusFacts>("facts");
        QTest::addColumn<Symbol>("symbol");
        QTest::addColumn<Tint>("tint");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("secondaryText");
        const AbletonVersion live12 = liveVersion("12", true, true);
        const AbletonVersion live12Missing = liveVersion("12", true, false);
        const AbletonVersion live11 = liveVersion("11", true, false);
        const AbletonVersion noLibrary = liveVersion("12", false, false);
        const Symbol check = Symbol::checkmarkCircleFill;
        QTest::newRow("no library, even with Live 12 connected")
            << noLibrary << facts(AbletonCondition::connected, "12.1.5", 1) << Symbol::exclamationmarkTriangleFill
            << Tint::orange << "Live 12 User Library not found" << false;
        QTest::newRow("Live 12.1.5 connected") << live12 << facts(AbletonCondition::connected, "12.1.5", 0) << check
                                               << Tint::green << "Live 12.1.5 connected" << false;
        QTest::newRow("connected, script missing") << live12Missing << facts(AbletonCondition::connected, "12.1.5", 0)
                                                   << check << Tint::green << "Live 12.1.5 connected" << false;
        QTest::newRow("Live 12 running") << live12 << facts(AbletonCondition::running, "12.1.5", 0) << check
                                         << Tint::green << "Live 12.1.5 running" << false;
        QTest::newRow("Live 12 busy") << live12 << facts(AbletonCondition::busy, "12.1.5", 0) << check << Tint::green
                                      << "Live 12.1.5 running" << false;
        QTest::newRow("Live 12 unresponsive") << live12Missing << facts(AbletonCondition::unresponsive, "12.0", 0)
                                              << check << Tint::green << "Live 12.0 running" << false;
        QTest::newRow("Live 12 not running, script installed")
            << live12 << facts(AbletonCondition::notRunning, "12.1.5", 0) << check << Tint::secondary
            << "Live 12 control script installed" << true;
        QTest::newRow("Live 12 connected, row for 11")
            << live11 << facts(AbletonCondition::connected, "12.1.5", 0) << Symbol::circleDashed << Tint::secondary
            << "Live 11 control script not installed" << true;
        QTest::newRow("connected without version") << live12 << facts(AbletonCondition::connected, {}, 0) << check
                                                   << Tint::secondary << "Live 12 control script installed" << true;
        QTest::newRow("no status, not installed") << live12Missing << StatusFacts{} << Symbol::circleDashed
                                                  << Tint::secondary << "Live 12 control script not installed" << true;
    }
    void rowHeaderRulesInOrder() {
        QFETCH(AbletonVersion, version);
        QFETCH(StatusFacts, facts);
        QFETCH(Symbol, symbol);
        QFETCH(Tint, tint);
        QFETCH(QString, text);
        QFETCH(bool, secondaryText);
        QCOMPARE(rowHeader(version, facts), (RowHeader{symbol, tint, text, secondaryText}));
    }

    void rowStartsExpanded_data() {
        QTest::addColumn<AbletonVersion>("version");
        QTest::addColumn<bool>("expanded");
        QTest::newRow("library, installed") << liveVersion("12", true, true) << false;
        QTest::newRow("library, not installed") << liveVersion("12", true, false) << true;
        QTest::newRow("no library") << liveVersion("11", false, false) << true;
        QTest::newRow("no library, flagged installed") << liveVersion("11", false, true) << true;
    }
    void rowStartsExpanded() {
        QFETCH(AbletonVersion, version);
        QFETCH(bool, expanded);
        QCOMPARE(ui::rowStartsExpanded(version), expanded);
    }

    void rowContent_data() {
        QTest::addColumn<AbletonVersion>("version");
        QTest::addColumn<bool>("installing");
        QTest::addColumn<QStringList>("expected");
        const QString missing = QStringLiteral(" You may need to manually install the Pylon control script.");
        QTest::newRow("installed") << liveVersion("12", true, true) << false
                                   << QStringList{"[Reinstall for Live 12 -> installRemoteScriptFromBundle]",
                                                  "[Open Live 12 User Library -> openRemoteScriptsFolder]"};
        QTest::newRow("not installed") << liveVersion("11", true, false) << false
                                       << QStringList{
                                              "~The Pylon control script for Live 11 must be installed to use Pylon.",
                                              "[Install for Live 11 -> installRemoteScriptFromBundle]",
                                              "[Open Live 11 User Library -> openRemoteScriptsFolder]"};
        QTest::newRow("installing") << liveVersion("12", true, true) << true
                                    << QStringList{"[Reinstall for Live 12 -> installRemoteScriptFromBundle](disabled)",
                                                   "[Open Live 12 User Library -> openRemoteScriptsFolder]"};
        QTest::newRow("expected library missing")
            << liveVersion("12", false, false, QStringLiteral("/home/user/Music/Gone")) << false
            << QStringList{"~Pylon couldn't find the Live 12 User Library at \"/home/user/Music/Gone\"." + missing,
                           "[Open Control Script Folder -> showStagedRemoteScript]"};
        QTest::newRow("no library named") << liveVersion("10", false, false) << true
                                          << QStringList{"~Pylon couldn't find the Live 10 User Library." + missing,
                                                         "[Open Control Script Folder -> showStagedRemoteScript]"};
    }
    void rowContent() {
        QFETCH(AbletonVersion, version);
        QFETCH(bool, installing);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(ui::rowContent(version, installing)), expected);
    }

    void noLiveAndDeveloperRow() {
        const NoLiveNotice notice = noLiveNotice();
        QCOMPARE(notice.symbol, Symbol::exclamationmarkTriangleFill);
        QCOMPARE(notice.tint, Tint::orange);
        QCOMPARE(notice.text, QStringLiteral("Ableton Live not found"));
        const DevModeContent dev = devModeContent();
        QCOMPARE(dev.caption, QStringLiteral("Dev Mode"));
        QStringList buttons;
        for (const SetupButton& button : dev.buttons)
            buttons << describe(button);
        QCOMPARE(buttons, (QStringList{"[Restart -> restartCompanion]", "[View Log -> openLogFile]"}));
    }

    // The named system colours are fixed; secondary text follows the palette, dimmed.
    void tintColours_data() {
        QTest::addColumn<Tint>("tint");
        QTest::addColumn<QString>("color");
        QTest::newRow("green") << Tint::green << "#34c759";
        QTest::newRow("gray") << Tint::gray << "#8e8e93";
        QTest::newRow("yellow") << Tint::yellow << "#ffcc00";
        QTest::newRow("red") << Tint::red << "#ff3b30";
        QTest::newRow("orange") << Tint::orange << "#ff9500";
    }
    void tintColours() {
        QFETCH(Tint, tint);
        QFETCH(QString, color);
        QPalette light(Qt::black, Qt::white);
        QPalette dark(Qt::white, Qt::black);
        QCOMPARE(tintColor(tint, light).name(), color);
        QCOMPARE(tintColor(tint, dark).name(), color);
    }
    void secondaryFollowsThePalette() {
        const QPalette light(Qt::black, Qt::white);
        const QPalette dark(Qt::white, Qt::black);
        QCOMPARE(tintColor(Tint::primary, light), QColor(Qt::black));
        QCOMPARE(tintColor(Tint::secondary, light).rgb(), QColor(Qt::black).rgb());
        QVERIFY(tintColor(Tint::secondary, light).alphaF() < 0.7f);
        QCOMPARE(tintColor(Tint::secondary, dark).rgb(), QColor(Qt::white).rgb());
    }
};

int runSetupPresenterTests(int argc, char** argv) {
    SetupPresenterTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SetupPresenterTests.moc"
