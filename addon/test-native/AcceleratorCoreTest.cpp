// The platform-neutral core against a recording fake platform: which key events reach which
// process, and which process-id numbers are refused before anything is posted.

#include "Accelerator.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace pylon::accelerator;

Q_DECLARE_METATYPE(std::optional<ProcessId>)

namespace {

struct Post {
    ProcessId processId;
    std::vector<KeyEvent> events;
};

class FakePlatform final : public Platform {
public:
    bool canCreateEvents = true;
    std::vector<Post> posts;

    bool isTrusted() override { return false; }
    bool requestTrust() override { return false; }
    std::vector<RunningApplication> runningApplications(std::string_view) override { return {}; }
    bool postKeyEvents(ProcessId processId, std::span<const KeyEvent> events) override {
        if (!canCreateEvents)
            return false;
        posts.push_back({processId, {events.begin(), events.end()}});
        return true;
    }
};

} // namespace

class AcceleratorCoreTest : public QObject {
    Q_OBJECT

private slots:
    void sendCommandS_postsKeyDownThenKeyUpOfSWithCommandAlone() {
        FakePlatform platform;
        QVERIFY(Accelerator(platform).sendCommandS(1234));
        QCOMPARE(platform.posts.size(), 1u);
        QCOMPARE(platform.posts[0].processId, 1234);
        const std::vector<KeyEvent> expected{{Key::S, true, Modifier::Command}, {Key::S, false, Modifier::Command}};
        QVERIFY(platform.posts[0].events == expected);
    }

    void sendCommandS_postsToTheIdTheNumberDesignates_data() {
        QTest::addColumn<double>("number");
        QTest::addColumn<std::optional<ProcessId>>("processId");
        const std::optional<ProcessId> refused;
        const double max = std::numeric_limits<ProcessId>::max();
        QTest::newRow("fraction dropped") << 1234.9 << std::optional<ProcessId>(1234);
        QTest::newRow("largest id") << max << std::optional<ProcessId>(std::numeric_limits<ProcessId>::max());
        QTest::newRow("largest id with fraction")
            << max + 0.5 << std::optional<ProcessId>(std::numeric_limits<ProcessId>::max());
        QTest::newRow("zero") << 0.0 << refused;
        QTest::newRow("negative zero") << -0.0 << refused;
        QTest::newRow("below one") << 0.9999 << refused;
        QTest::newRow("negative") << -5.0 << refused;
        QTest::newRow("2^31") << max + 1 << refused;
        QTest::newRow("2^32 + 1 (low bits 1)") << 4294967297.0 << refused;
        QTest::newRow("2^32 + 1234") << 4294968530.0 << refused;
        QTest::newRow("-(2^32) + 1234") << -4294965062.0 << refused;
        QTest::newRow("NaN") << std::nan("") << refused;
        QTest::newRow("+infinity") << std::numeric_limits<double>::infinity() << refused;
    }
    void sendCommandS_postsToTheIdTheNumberDesignates() {
        QFETCH(double, number);
        QFETCH(std::optional<ProcessId>, processId);
        FakePlatform platform;
        QCOMPARE(Accelerator(platform).sendCommandS(number), processId.has_value());
        if (processId) {
            QCOMPARE(platform.posts.size(), 1u);
            QCOMPARE(platform.posts[0].processId, *processId);
        } else {
            QVERIFY(platform.posts.empty());
        }
    }

    void sendCommandS_isFalseWhenTheSystemCannotCreateEvents() {
        FakePlatform platform;
        platform.canCreateEvents = false;
        QVERIFY(!Accelerator(platform).sendCommandS(1234));
        QVERIFY(platform.posts.empty());
    }
};

int runAcceleratorCoreTest(int argc, char** argv) {
    AcceleratorCoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AcceleratorCoreTest.moc"
