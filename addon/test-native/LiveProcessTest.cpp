// Which /proc facts make a Live process, and what the companion is told about it.

#include "../linux/LiveProcess.h"

#include <QtTest>

using namespace pylon::accelerator;
using namespace pylon::accelerator::linux_backend;

Q_DECLARE_METATYPE(ProcessFacts)
Q_DECLARE_METATYPE(std::optional<RunningApplication>)

namespace {

const char* const kWinePath = "C:\\ProgramData\\Ableton\\Live 12 Suite\\Program\\Ableton Live 12 Suite.exe";

std::optional<RunningApplication> live(std::optional<std::string> name, std::optional<std::string> path) {
    return RunningApplication{100, std::move(name), std::move(path), "com.ableton.live"};
}

} // namespace

class LiveProcessTest : public QObject {
    Q_OBJECT

private slots:
    void recognisesLiveProcesses_data() {
        QTest::addColumn<ProcessFacts>("facts");
        QTest::addColumn<std::optional<RunningApplication>>("expected");
        const std::optional<RunningApplication> notLive;

        QTest::newRow("Wine process: Windows path, name without .exe")
            << ProcessFacts{100, "Ableton Live 12", kWinePath, "/usr/lib/wine/wine64-preloader"}
            << live("Ableton Live 12 Suite", kWinePath);
        QTest::newRow("Wine path with forward slashes")
            << ProcessFacts{100, "Ableton Live 11", "Z:/opt/Ableton Live 11 Lite.exe", "/usr/bin/wine"}
            << live("Ableton Live 11 Lite", "Z:/opt/Ableton Live 11 Lite.exe");
        QTest::newRow("native executable named like Live")
            << ProcessFacts{100, "Ableton Live 12", "/tmp/x/Ableton Live 12 Suite.exe",
                            "/tmp/x/Ableton Live 12 Suite.exe"}
            << live("Ableton Live 12 Suite", "/tmp/x/Ableton Live 12 Suite.exe");
        QTest::newRow("only argv[0] names Live") << ProcessFacts{100, "sleep", "Ableton Live 11 Lite", "/usr/bin/sleep"}
                                                 << live("Ableton Live 11 Lite", "/usr/bin/sleep");
        QTest::newRow("only the executable name: full name from the executable file")
            << ProcessFacts{100, "Ableton Live 12", "/usr/bin/launcher", "/opt/Ableton Live 12 Beta"}
            << live("Ableton Live 12 Beta", "/opt/Ableton Live 12 Beta");
        QTest::newRow("only the cut executable name, executable unreadable")
            << ProcessFacts{100, "Ableton Live 12", "/usr/bin/launcher", std::nullopt}
            << live("Ableton Live 12", std::nullopt);
        QTest::newRow("zombie: no command line, no executable")
            << ProcessFacts{100, "Ableton Live 12", std::nullopt, std::nullopt}
            << live("Ableton Live 12", std::nullopt);
        QTest::newRow("upper-case .EXE is dropped too")
            << ProcessFacts{100, "Ableton Live 10", "C:\\Live\\Ableton Live 10 Standard.EXE", std::nullopt}
            << live("Ableton Live 10 Standard", "C:\\Live\\Ableton Live 10 Standard.EXE");

        QTest::newRow("helper inside Live's folder")
            << ProcessFacts{100, "Max.exe", "C:\\ProgramData\\Ableton Live 12 Suite\\Resources\\Max.exe",
                            "/usr/bin/wine"}
            << notLive;
        QTest::newRow("other Ableton program")
            << ProcessFacts{100, "Ableton Index", "/opt/Ableton Index", std::nullopt} << notLive;
        QTest::newRow("name differs in case")
            << ProcessFacts{100, "ableton live 12", "ableton live 12", std::nullopt} << notLive;
        QTest::newRow("Live not at the start of the name")
            << ProcessFacts{100, "My Ableton Live", "/opt/My Ableton Live 12", std::nullopt} << notLive;
    }
    void recognisesLiveProcesses() {
        QFETCH(ProcessFacts, facts);
        QFETCH(std::optional<RunningApplication>, expected);
        const auto actual = liveApplication(facts);
        QCOMPARE(actual.has_value(), expected.has_value());
        if (expected) {
            QCOMPARE(actual->displayName, expected->displayName);
            QCOMPARE(actual->applicationPath, expected->applicationPath);
            QVERIFY(*actual == *expected);
        }
    }

    void mayBeLive_agreesWithLiveApplicationOnTheName() {
        // The cheap pre-filter must never drop a process that liveApplication would accept.
        QVERIFY(mayBeLive("sleep", "C:\\Live\\Ableton Live 12 Suite.exe"));
        QVERIFY(mayBeLive("Ableton Live 12", ""));
        QVERIFY(!mayBeLive("Max.exe", "C:\\Ableton Live 12\\Max.exe"));
    }
};

int runLiveProcessTest(int argc, char** argv) {
    LiveProcessTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LiveProcessTest.moc"
