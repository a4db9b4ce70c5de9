// The platform-neutral core against a recording fake platform, the /proc rules that make a Live
// process, the key strokes that type the shortcut on X11, and the Node-API version the built
// module declares.

#include "Accelerator.h"

#include "../linux/KeyStrokes.h"
#include "../linux/LiveProcess.h"
#include "../linux/ProcessTable.h"

#include <QtTest>
#include <X11/X.h>
#include <X11/keysym.h>
#include <cmath>
#include <dlfcn.h>
#include <limits>

using namespace pylon::accelerator;
using namespace pylon::accelerator::linux_backend;

Q_DECLARE_METATYPE(ProcessFacts)
Q_DECLARE_METATYPE(std::optional<RunningApplication>)
Q_DECLARE_METATYPE(std::vector<KeyEvent>)
Q_DECLARE_METATYPE(std::vector<KeyStroke>)

namespace {

struct FakePlatform final : Platform {
    bool canCreateEvents = true;
    std::vector<std::pair<ProcessId, std::vector<KeyEvent>>> posts;

    bool isTrusted() override { return false; }
    bool requestTrust() override { return false; }
    std::vector<RunningApplication> runningApplications(std::string_view) override { return {}; }
    bool postKeyEvents(ProcessId processId, std::span<const KeyEvent> events) override {
        if (canCreateEvents)
            posts.emplace_back(processId, std::vector<KeyEvent>(events.begin(), events.end()));
        return canCreateEvents;
    }
};

std::optional<RunningApplication> live(std::string name, std::optional<std::string> path) {
    return RunningApplication{100, std::move(name), std::move(path), "com.ableton.live"};
}

} // namespace

// Node defines the Node-API functions for the module it loads. Where the compiler keeps
// node-addon-api's error helpers out of line (the sanitizer build does), the module takes the
// address of these creators, which the loader must then find at once; this program stands in for
// node for them (it exports its symbols). Never called.
extern "C" {
[[gnu::visibility("default")]] int napi_create_error() { return 1; }
[[gnu::visibility("default")]] int napi_create_type_error() { return 1; }
[[gnu::visibility("default")]] int napi_create_range_error() { return 1; }
}

class AcceleratorTest : public QObject {
    Q_OBJECT

private slots:
    void sendCommandS_postsKeyDownThenKeyUpOfSWithCommandAlone() {
        FakePlatform platform;
        QVERIFY(Accelerator(platform).sendCommandS(1234));
        const std::vector<KeyEvent> expected{{Key::S, true, Modifier::Command}, {Key::S, false, Modifier::Command}};
        QCOMPARE(platform.posts.size(), 1u);
        QCOMPARE(platform.posts[0].first, 1234);
        QVERIFY(platform.posts[0].second == expected);
    }

    void sendCommandS_postsToTheIdTheNumberDesignates_data() {
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("processId"); // 0: refused, nothing posted
        const int max = std::numeric_limits<ProcessId>::max();
        QTest::newRow("fraction dropped") << 1234.9 << 1234;
        QTest::newRow("largest id with fraction") << max + 0.5 << max;
        QTest::newRow("zero") << 0.0 << 0;
        QTest::newRow("negative") << -5.0 << 0;
        QTest::newRow("2^31") << max + 1.0 << 0;
        QTest::newRow("2^32 + 1 (low bits 1)") << 4294967297.0 << 0;
        QTest::newRow("-(2^32) + 1234") << -4294965062.0 << 0;
        QTest::newRow("NaN") << std::nan("") << 0;
        QTest::newRow("+infinity") << std::numeric_limits<double>::infinity() << 0;
    }
    void sendCommandS_postsToTheIdTheNumberDesignates() {
        QFETCH(double, number);
        QFETCH(int, processId);
        FakePlatform platform;
        QCOMPARE(Accelerator(platform).sendCommandS(number), processId != 0);
        QCOMPARE(platform.posts.size(), processId != 0 ? 1u : 0u);
        if (processId != 0)
            QCOMPARE(platform.posts[0].first, processId);
    }

    void sendCommandS_isFalseWhenTheSystemCannotCreateEvents() {
        FakePlatform platform;
        platform.canCreateEvents = false;
        QVERIFY(!Accelerator(platform).sendCommandS(1234));
        QVERIFY(platform.posts.empty());
    }

    void liveApplication_data() {
        QTest::addColumn<ProcessFacts>("facts");
        QTest::addColumn<std::optional<RunningApplication>>("expected");
        const char* const wine = "C:\\ProgramData\\Ableton\\Live 12 Suite\\Program\\Ableton Live 12 Suite.exe";
        QTest::newRow("Wine process: Windows path, name without .exe")
            << ProcessFacts{100, "Ableton Live 12", wine, "/usr/lib/wine/wine64-preloader"}
            << live("Ableton Live 12 Suite", wine);
        QTest::newRow("Wine path with forward slashes")
            << ProcessFacts{100, "Ableton Live 11", "Z:/opt/Ableton Live 11 Lite.exe", "/usr/bin/wine"}
            << live("Ableton Live 11 Lite", "Z:/opt/Ableton Live 11 Lite.exe");
        QTest::newRow("upper-case .EXE is dropped too")
            << ProcessFacts{100, "Ableton Live 10", "C:\\Live\\Ableton Live 10 Standard.EXE", std::nullopt}
            << live("Ableton Live 10 Standard", "C:\\Live\\Ableton Live 10 Standard.EXE");
        QTest::newRow("only argv[0] names Live") << ProcessFacts{100, "sleep", "Ableton Live 11 Lite", "/usr/bin/sleep"}
                                                 << live("Ableton Live 11 Lite", "/usr/bin/sleep");
        QTest::newRow("only the executable name: full name from the executable file")
            << ProcessFacts{100, "Ableton Live 12", "/usr/bin/launcher", "/opt/Ableton Live 12 Beta"}
            << live("Ableton Live 12 Beta", "/opt/Ableton Live 12 Beta");
        QTest::newRow("only the cut executable name, executable unreadable")
            << ProcessFacts{100, "Ableton Live 12", "/usr/bin/launcher", std::nullopt} << live("Ableton Live 12", {});
        const std::optional<RunningApplication> notLive;
        QTest::newRow("helper inside Live's folder")
            << ProcessFacts{100, "Max.exe", "C:\\ProgramData\\Ableton Live 12 Suite\\Resources\\Max.exe",
                            "/usr/bin/wine"}
            << notLive;
        QTest::newRow("name differs in case")
            << ProcessFacts{100, "ableton live 12", "ableton live 12", std::nullopt} << notLive;
        QTest::newRow("Live not at the start of the name")
            << ProcessFacts{100, "My Ableton Live", "/opt/My Ableton Live 12", std::nullopt} << notLive;
    }
    void liveApplication() {
        QFETCH(ProcessFacts, facts);
        QFETCH(std::optional<RunningApplication>, expected);
        QVERIFY(linux_backend::liveApplication(facts) == expected);
    }

    void mayBeLive_data() {
        QTest::addColumn<QString>("executableName");
        QTest::addColumn<bool>("mayBeLive");
        QTest::newRow("Wine's name for Ableton Live 12 Suite.exe, cut to 15 bytes") << "Ableton Live 12" << true;
        QTest::newRow("a native executable named as Live") << "Ableton Live" << true;
        QTest::newRow("a Wine loader not yet named after its program") << "wine64-preloade" << true;
        QTest::newRow("the plain loader") << "wine" << true;
        QTest::newRow("a helper in Live's folder") << "Max.exe" << false;
        QTest::newRow("another program") << "sleep" << false;
        QTest::newRow("case differs") << "ableton live 12" << false;
        QTest::newRow("kernel thread without a name") << "" << false;
    }
    void mayBeLive() {
        QFETCH(QString, executableName);
        QFETCH(bool, mayBeLive);
        QCOMPARE(linux_backend::mayBeLive(executableName.toStdString()), mayBeLive);
    }

    void keyStrokes_data() {
        QTest::addColumn<std::vector<KeyEvent>>("events");
        QTest::addColumn<std::vector<KeyStroke>>("strokes");
        const KeyStroke controlDown{XK_Control_L, true, 0};
        const KeyStroke controlUp{XK_Control_L, false, ControlMask};
        QTest::newRow("the save shortcut: Control pressed around S")
            << std::vector<KeyEvent>(kSaveShortcut.begin(), kSaveShortcut.end())
            << std::vector<KeyStroke>{controlDown, {XK_s, true, ControlMask}, {XK_s, false, ControlMask}, controlUp};
        QTest::newRow("no modifier") << std::vector<KeyEvent>{{Key::S, true, {}}, {Key::S, false, {}}}
                                     << std::vector<KeyStroke>{{XK_s, true, 0}, {XK_s, false, 0}};
        QTest::newRow("Control let go before the key is")
            << std::vector<KeyEvent>{{Key::S, true, Modifier::Command}, {Key::S, false, {}}}
            << std::vector<KeyStroke>{controlDown, {XK_s, true, ControlMask}, controlUp, {XK_s, false, 0}};
        QTest::newRow("held at the end: released")
            << std::vector<KeyEvent>{{Key::S, true, Modifier::Command}}
            << std::vector<KeyStroke>{controlDown, {XK_s, true, ControlMask}, controlUp};
        QTest::newRow("nothing") << std::vector<KeyEvent>{} << std::vector<KeyStroke>{};
    }
    void keyStrokes() {
        QFETCH(std::vector<KeyEvent>, events);
        QFETCH(std::vector<KeyStroke>, strokes);
        QVERIFY(linux_backend::keyStrokes(events) == strokes);
    }

    // The table's memory of processes that are not Live, on a folder laid out like /proc and a
    // clock the test moves.
    void processTable_readsAgainWhatMayHaveTurnedIntoLive() {
        QTemporaryDir proc;
        QVERIFY(proc.isValid());
        const auto process = [&](const QString& pid, const QByteArray& comm, const QByteArray& argv0) {
            QVERIFY(QDir(proc.path()).mkpath(pid));
            for (const auto& [file, content] : {std::pair{"comm", comm + '\n'}, {"cmdline", argv0 + '\0'}}) {
                QFile out(proc.filePath(pid + QLatin1Char('/') + QLatin1String(file)));
                QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                out.write(content);
            }
        };
        const QByteArray windowsPath = "C:\\Live\\Ableton Live 12 Suite.exe";
        ProcessTable::Clock::time_point now{};
        ProcessTable table(QFile::encodeName(proc.path()).toStdString(), [&] { return now; });
        const auto listed = [&] {
            std::vector<ProcessId> ids;
            for (const auto& application : table.runningLiveProcesses())
                ids.push_back(application.processId);
            return ids;
        };
        const auto at = [&](int seconds) { now = ProcessTable::Clock::time_point{} + std::chrono::seconds(seconds); };

        process("100", "bash", "bash");                 // turns into Live while young
        process("200", "bash", "bash");                 // turns into Live once settled
        process("300", "wine64-preloade", "C:\\x.exe"); // a Wine loader: read on every pass
        process("400", "sleep", "sleep");               // ends, and its id comes back as Live
        QVERIFY(listed().empty());
        at(1);
        QVERIFY(listed().empty());
        process("100", "Ableton Live 12", windowsPath);
        at(2);
        QCOMPARE(listed(), std::vector<ProcessId>{100});
        process("200", "Ableton Live 12", windowsPath);
        process("300", "Ableton Live 12", windowsPath);
        // Another process under id 400: another folder, so another inode (made before the old one
        // goes, so the file system cannot hand out the same inode again).
        process("400.new", "Ableton Live 12", windowsPath);
        QVERIFY(QDir(proc.filePath(QStringLiteral("400"))).removeRecursively());
        QVERIFY(QDir(proc.path()).rename(QStringLiteral("400.new"), QStringLiteral("400")));
        at(3);
        QCOMPARE(listed(), (std::vector<ProcessId>{100, 300, 400}));
        at(11);
        QCOMPARE(listed(), (std::vector<ProcessId>{100, 300, 400}));
        at(12); // ten seconds after 200 was last read
        QCOMPARE(listed(), (std::vector<ProcessId>{100, 200, 300, 400}));
    }

    void module_declaresNodeApiVersion8() {
        // ctest names the module; run by hand, the test finds it beside itself in the build tree.
        QByteArray path = qgetenv("ACCELERATOR_MODULE");
        if (path.isEmpty())
            path = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/accelerator.node"));
        // Node-API functions stay unresolved (lazy binding): nothing here calls them.
        void* module = dlopen(path.constData(), RTLD_LAZY | RTLD_LOCAL);
        QVERIFY2(module, dlerror());
        const auto version = reinterpret_cast<int (*)()>(dlsym(module, "node_api_module_get_api_version_v1"));
        QVERIFY(version);
        QCOMPARE(version(), 8);
        dlclose(module);
    }
};

QTEST_GUILESS_MAIN(AcceleratorTest)
#include "AcceleratorTest.moc"
