#include "TemporaryHome.h"
#include "platform/LoginStart.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace pylon;
using pylon::test::TemporaryHome;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class LoginStartTest : public QObject {
    Q_OBJECT
private slots:
    void enablingWritesAValidEntryThatStartsTheTrayItem() {
        TemporaryHome home;
        const QString program = home.path() + QStringLiteral("/odd $name/100% \"Pylon\"`x`\\/Pylon");
        XdgAutostart autostart(home.configHome(), QStringLiteral("net.ostrand.Pylon"), QStringLiteral("Pylon"), program);
        QVERIFY(!autostart.isEnabled());
        QCOMPARE(autostart.setEnabled(true), std::nullopt);
        QVERIFY(autostart.isEnabled());
        QCOMPARE(autostart.entryPath(), home.configHome() + QStringLiteral("/autostart/net.ostrand.Pylon.desktop"));

        const QByteArray entry = readAll(autostart.entryPath());
        QVERIFY2(entry.contains("\nExec=\"" + QFile::encodeName(home.path()) +
                                "/odd \\\\$name/100%% \\\\\"Pylon\\\\\"\\\\`x\\\\`\\\\\\\\/Pylon\" --background\n"),
                 entry.constData());
        QVERIFY(entry.contains("\nX-GNOME-Autostart-Delay="));
        QVERIFY(entry.contains("\nX-KDE-autostart-after=panel\n"));
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validator.isEmpty(), "desktop-file-validate is missing (scripts/install-deps installs it)");
        QProcess validate;
        validate.start(validator, {autostart.entryPath()});
        QVERIFY(validate.waitForFinished(10000));
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
    }

    void anEntrySwitchedOffByTheDesktopCountsAsOff_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("hidden") << QByteArray("Hidden=true");
        QTest::newRow("GNOME switch") << QByteArray("X-GNOME-Autostart-enabled=false");
    }
    void anEntrySwitchedOffByTheDesktopCountsAsOff() {
        QFETCH(QByteArray, line);
        TemporaryHome home;
        XdgAutostart autostart(home.configHome(), QStringLiteral("net.ostrand.Pylon"), QStringLiteral("Pylon"),
                               QStringLiteral("/usr/bin/pylon"));
        QCOMPARE(autostart.setEnabled(true), std::nullopt);
        QFile file(autostart.entryPath());
        QVERIFY(file.open(QIODevice::Append));
        file.write(line + '\n');
        file.close();
        QVERIFY(!autostart.isEnabled());
        // Switching on again writes a fresh entry.
        QCOMPARE(autostart.setEnabled(true), std::nullopt);
        QVERIFY(autostart.isEnabled());
    }

    void disablingRemovesTheEntryAndALinkIsNeverFollowed() {
        TemporaryHome home;
        XdgAutostart autostart(home.configHome(), QStringLiteral("net.ostrand.Pylon-Dev"), QStringLiteral("Pylon-Dev"),
                               QStringLiteral("/usr/bin/pylon"));
        QCOMPARE(autostart.setEnabled(false), std::nullopt); // nothing there is fine
        const QString target = home.writeFile(QStringLiteral("elsewhere.desktop"), "keep me\n");
        QVERIFY(QDir().mkpath(home.configHome() + QStringLiteral("/autostart")));
        QVERIFY(QFile::link(target, autostart.entryPath()));
        QVERIFY(!autostart.isEnabled());
        QCOMPARE(autostart.setEnabled(true), std::nullopt);
        QVERIFY(!QFileInfo(autostart.entryPath()).isSymLink());
        QCOMPARE(readAll(target), QByteArray("keep me\n"));
        QCOMPARE(autostart.setEnabled(false), std::nullopt);
        QVERIFY(!QFileInfo::exists(autostart.entryPath()));
        QVERIFY(!autostart.isEnabled());
    }

    void aFolderThatCannotBeMadeIsReported() {
        TemporaryHome home;
        const QString blocker = home.writeFile(QStringLiteral("blocker"), "a file, not a folder");
        XdgAutostart autostart(blocker, QStringLiteral("net.ostrand.Pylon"), QStringLiteral("Pylon"),
                               QStringLiteral("/usr/bin/pylon"));
        const std::optional<QString> failure = autostart.setEnabled(true);
        QVERIFY(failure && failure->contains(QStringLiteral("autostart")));
        QVERIFY(!autostart.isEnabled());
    }
};

QTEST_GUILESS_MAIN(LoginStartTest)
#include "tst_loginstart.moc"
