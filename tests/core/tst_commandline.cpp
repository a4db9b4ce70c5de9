#include "TemporaryHome.h"
#include "TestBundle.h"
#include "core/CommandLine.h"
#include "core/SingleInstance.h"
#include "core/WinePrefixList.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <csignal>

using namespace pylon;
using namespace pylon::test;

Q_DECLARE_METATYPE(pylon::CommandLine::Action)

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void commandLineSelectsTheAction_data() {
        using Action = CommandLine::Action;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("errorMentions");
        QTest::newRow("nothing") << QStringList{} << Action::run << QString();
        QTest::newRow("--version") << QStringList{"--version"} << Action::version << QString();
        QTest::newRow("-h") << QStringList{"-h"} << Action::help << QString();
        QTest::newRow("--help wins over --version") << QStringList{"--version", "--help"} << Action::help << QString();
        QTest::newRow("unknown option") << QStringList{"--bogus"} << Action::error << "bogus";
        QTest::newRow("unknown option after --version")
            << QStringList{"--version", "--frobnicate"} << Action::error << "frobnicate";
        QTest::newRow("stray argument") << QStringList{"extra"} << Action::error << "extra";
        // Qt's own options reach the parser wherever no QApplication took them out first.
        QTest::newRow("-platform offscreen") << QStringList{"-platform", "offscreen"} << Action::run << QString();
        QTest::newRow("Qt options with --status")
            << QStringList{"-style", "Fusion", "--status", "-reverse"} << Action::status << QString();
        QTest::newRow("--background") << QStringList{"--background"} << Action::run << QString();
        QTest::newRow("--background with a mode")
            << QStringList{"--background", "--headless"} << Action::error << "--background";
    }
    void commandLineSelectsTheAction() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, errorMentions);
        const CommandLine commandLine = parseCommandLine(QStringList{"Pylon"} + arguments);
        QCOMPARE(commandLine.action, action);
        QVERIFY2(errorMentions.isEmpty() ? commandLine.errorText.isEmpty()
                                         : commandLine.errorText.contains(errorMentions),
                 qPrintable(commandLine.errorText));
    }

    void helpListsTheOptions() {
        const QString help = parseCommandLine({"Pylon", "--help"}).helpText;
        for (const char* option : {"--version", "--help", "-h,", "--background"})
            QVERIFY2(help.contains(option), qPrintable(help));
        // Qt's options pass, but are not Pylon's to explain.
        QVERIFY2(!help.contains("platform"), qPrintable(help));
        const CommandLine background = parseCommandLine({"Pylon", "--background", "-platform", "xcb"});
        QVERIFY(background.background && background.platformGiven);
        QVERIFY(!parseCommandLine({"Pylon"}).background);
    }

    void addWinePrefixTakesOnePathAndNoOtherMode() {
        const CommandLine add = parseCommandLine({"Pylon", "--add-wine-prefix", "/games/live"});
        QCOMPARE(add.action, CommandLine::Action::addWinePrefix);
        QCOMPARE(add.winePrefixPath, "/games/live");
        QVERIFY(parseCommandLine({"Pylon", "--add-wine-prefix"}).errorText.contains("add-wine-prefix"));
        const CommandLine both = parseCommandLine({"Pylon", "--headless", "--add-wine-prefix", "/x"});
        QCOMPARE(both.action, CommandLine::Action::error);
        QVERIFY2(both.errorText.contains("--add-wine-prefix"), qPrintable(both.errorText));
        QVERIFY(parseCommandLine({"Pylon", "--help"}).helpText.contains("--add-wine-prefix <PATH>"));
    }

    // The built program

    void builtProgramAddsAWinePrefixOnce() {
        TemporaryHome home;
        const QString prefix = home.path() + "/Games/live";
        for (const char* version : {"Live 12.1.5", "Live 11.3.13"})
            QVERIFY(QDir().mkpath(prefix + "/drive_c/users/me/AppData/Roaming/Ableton/" + version));
        QVERIFY(QDir().mkpath(home.path() + "/Games/no-prefix/dosdevices"));
        // Exit code, standard output and standard error of Pylon run in the home with `arguments`.
        auto run = [&](const QStringList& arguments) {
            QProcess process;
            process.setWorkingDirectory(home.path());
            process.start(builtBundle("Pylon") + "/Contents/MacOS/Pylon", arguments);
            process.waitForFinished(30000);
            return QStringList{QString::number(process.exitCode()), process.readAllStandardOutput(),
                               process.readAllStandardError()};
        };
        const QString listed = "Live preferences in it: Live 11.3, Live 12.1.\n";
        QCOMPARE(run({"--add-wine-prefix", prefix + "/../no-prefix"}),
                 (QStringList{"1", "",
                              "Pylon: \"~/Games/no-prefix\" is not a Wine prefix: it holds no \"drive_c\" "
                              "folder.\n"}));
        QCOMPARE(run({"--add-wine-prefix", "Games/missing"}),
                 (QStringList{"1", "", "Pylon: \"~/Games/missing\" is not a folder.\n"}));
        QCOMPARE(run({"--add-wine-prefix", prefix}),
                 (QStringList{
                     "0", "Added the Wine prefix \"~/Games/live\": Pylon looks for Live in it from now on.\n" + listed,
                     ""}));
        QCOMPARE(run({"--add-wine-prefix", "Games/live/"}),
                 (QStringList{"0", "The Wine prefix \"~/Games/live\" is already in Pylon's list.\n" + listed, ""}));
        const UserDefaults defaults("net.ostrand.Pylon", home.configHome());
        QCOMPARE(userAddedWinePrefixes(defaults), QStringList{prefix});
    }

    void builtProgramPrintsItsOwnVersionLineAndRejectsUnknownOptions_data() { builtBundleRows(); }
    void builtProgramPrintsItsOwnVersionLineAndRejectsUnknownOptions() {
        QFETCH(QString, bundleName);
        QFETCH(QString, mode);
        const QVariantMap info =
            PropertyList::parseFile(builtBundle(bundleName) + "/Contents/Info.plist").value_or(QVariant()).toMap();
        const QString version =
            info.value("CFBundleShortVersionString").toString() + '-' + info.value("CFBundleVersion").toString();
        TemporaryHome home;
        for (const QString option : {"--version", "--bogus"}) {
            QProcess process;
            process.start(builtBundle(bundleName) + "/Contents/MacOS/Pylon", {option});
            QVERIFY(process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit);
            const QString out = process.readAllStandardOutput(), err = process.readAllStandardError();
            if (option == "--version") {
                QCOMPARE(err, QString());
                QCOMPARE(out, QString("%1 %2 (%3)\n").arg(bundleName, version, mode));
                QCOMPARE(process.exitCode(), 0);
            } else {
                QCOMPARE(out, QString());
                QVERIFY2(err.contains("bogus"), qPrintable(err));
                QCOMPARE(process.exitCode(), 2);
            }
        }
    }

    // As GNU programs do: a usage error is one line and where help is, with exit 2; the help names
    // the program as it was started. Without any display the window is refused with a reason and
    // exit 1 (no abort), while --version still answers; with a display that cannot be reached, Qt's
    // reason is said and the exit is 1 as well.
    void builtProgramBehavesAsCommandLineProgramsDo() {
        TemporaryHome home;
        const QString pylon = builtBundle("Pylon") + "/Contents/MacOS/Pylon";
        auto run = [&](const QStringList& arguments, const QStringList& unset, const QString& display = QString()) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const QString& name : unset)
                environment.remove(name);
            if (!display.isEmpty())
                environment.insert("DISPLAY", display);
            process.setProcessEnvironment(environment);
            process.start(pylon, arguments);
            process.waitForFinished(30000);
            return QStringList{process.exitStatus() == QProcess::NormalExit ? QString::number(process.exitCode())
                                                                             : QStringLiteral("crashed"),
                               process.readAllStandardOutput(), process.readAllStandardError()};
        };
        QCOMPARE(run({"--frobnicate"}, {}),
                 (QStringList{"2", "", "Pylon: Unknown option 'frobnicate'.\nTry 'Pylon --help' for more information.\n"}));
        QCOMPARE(run({"--json"}, {})[2], "Pylon: --json only goes with --status.\nTry 'Pylon --help' for more information.\n");
        const QStringList help = run({"--help"}, {});
        QCOMPARE(help[0], "0");
        QVERIFY2(help[1].startsWith("Usage: " + pylon + " [options] [url]\n"), qPrintable(help[1]));
        QCOMPARE(run({"-platform", "offscreen", "--version"}, {})[0], "0");

        const QStringList noDisplay{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        const QStringList refused = run({}, noDisplay);
        QCOMPARE(refused[0], "1");
        QVERIFY2(refused[2].startsWith("Pylon: no display to open the window on"), qPrintable(refused[2]));
        QCOMPARE(run({"--version"}, noDisplay)[0], "0");
        const QStringList unreachable = run({}, noDisplay, ":97");
        QCOMPARE(unreachable[0], "1");
        QVERIFY2(unreachable[2].contains("could not connect to display :97") &&
                     unreachable[2].contains("Pylon: cannot open its window."),
                 qPrintable(unreachable[2]));
        // Nothing of the refused starts stays in the home.
        QVERIFY(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    }

    // The windowed program quits in order on SIGINT, SIGTERM and SIGHUP, as --headless does: it
    // ends normally with 0, and the queued log lines, the last one saying why, are in the file.
    void windowedProgramQuitsInOrderOnSignals_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT";
        QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
        QTest::newRow("SIGHUP") << int(SIGHUP) << "SIGHUP";
    }
    void windowedProgramQuitsInOrderOnSignals() {
        QFETCH(int, signalNumber);
        QFETCH(QString, name);
        TemporaryHome home;
        QProcess pylon;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("PYLON_SERVICE_BACKEND", "process");
        pylon.setProcessEnvironment(environment);
        pylon.start(builtBundle("Pylon-Dev") + "/Contents/MacOS/Pylon", QStringList{});
        auto stop = qScopeGuard([&] {
            pylon.kill();
            pylon.waitForFinished(5000);
        });
        QVERIFY(pylon.waitForStarted(5000));
        // Signals are handled from before the instance socket exists.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::serverName("net.ostrand.Pylon-Dev")), 15000);
        QCOMPARE(::kill(pid_t(pylon.processId()), signalNumber), 0);
        QVERIFY(pylon.waitForFinished(15000));
        QCOMPARE(pylon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pylon.exitCode(), 0);
        const QByteArray log = readFile(home.dataHome() + "/Pylon-Dev/logs/pylon-menubar.log");
        QVERIFY2(log.trimmed().endsWith("[pylon-companion][menubar] Received " + name.toUtf8() + ", quitting"),
                 log.right(300).constData());
        QVERIFY(!QFileInfo::exists(SingleInstance::serverName("net.ostrand.Pylon-Dev")));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
