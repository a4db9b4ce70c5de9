#include "MessageCapture.h"
#include "ShellSupport.h"
#include "TemporaryHome.h"

#include "core/UrlHandler.h"

#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

const QString received = QStringLiteral("Received URL: ");
const QString requested = QStringLiteral("Uninstall requested via URL scheme");

QString ignoring(const QString& scheme) {
    return QStringLiteral("Ignoring URL (scheme ") + scheme + QStringLiteral(" doesn't match mode)");
}

} // namespace

class UrlHandlerTest : public QObject {
    Q_OBJECT
private slots:
    void urlsAreLoggedAndOnlyTheModesUninstallActs_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("confirmations");

        const QString production = productionIdentifier;
        const QString development = developmentIdentifier;
        auto row = [](const char* name, const QString& identifier, const QString& url, const QStringList& log,
                      int confirmations) { QTest::newRow(name) << identifier << url << log << confirmations; };

        row("production uninstall", production, "pylon://uninstall", {received + "pylon://uninstall", requested}, 1);
        row("production, development scheme", production, "pylon-dev://uninstall",
            {received + "pylon-dev://uninstall", ignoring("pylon-dev")}, 0);
        row("production, other host", production, "pylon://settings", {received + "pylon://settings"}, 0);
        row("scheme in capitals", production, "PYLON://uninstall", {received + "PYLON://uninstall", ignoring("PYLON")}, 0);
        row("scheme in mixed case", production, "Pylon://uninstall", {received + "Pylon://uninstall", ignoring("Pylon")},
            0);
        row("host in capitals", production, "pylon://UNINSTALL", {received + "pylon://UNINSTALL"}, 0);
        row("host with path, query and fragment", production, "pylon://uninstall/path?x#y",
            {received + "pylon://uninstall/path?x#y", requested}, 1);
        row("host with user and port", production, "pylon://me@uninstall:8080",
            {received + "pylon://me@uninstall:8080", requested}, 1);
        row("longer host", production, "pylon://uninstaller", {received + "pylon://uninstaller"}, 0);
        row("no host", production, "pylon:uninstall", {received + "pylon:uninstall"}, 0);
        row("empty host", production, "pylon:///uninstall", {received + "pylon:///uninstall"}, 0);
        row("empty text", production, "", {}, 0);
        row("space in the host", production, "pylon://unin stall", {}, 0);
        row("leading space", production, " pylon://uninstall", {}, 0);
        row("broken escape", production, "pylon://%zz", {}, 0);
        row("unclosed bracket", production, "pylon://[::1", {}, 0);
        row("no scheme", production, "uninstall", {received + "uninstall", ignoring("nil")}, 0);
        row("no scheme, host uninstall", production, "//uninstall", {received + "//uninstall", ignoring("nil")}, 0);

        row("development uninstall", development, "pylon-dev://uninstall", {received + "pylon-dev://uninstall", requested},
            1);
        row("development, production scheme", development, "pylon://uninstall",
            {received + "pylon://uninstall", ignoring("pylon")}, 0);
        row("development, scheme in capitals", development, "PYLON-DEV://uninstall",
            {received + "PYLON-DEV://uninstall", ignoring("PYLON-DEV")}, 0);
        row("development, other host", development, "pylon-dev://settings", {received + "pylon-dev://settings"}, 0);
        row("development, query and fragment", development, "pylon-dev://uninstall?now=1#top",
            {received + "pylon-dev://uninstall?now=1#top", requested}, 1);
        row("development, no scheme", development, "uninstall", {received + "uninstall", ignoring("nil")}, 0);
        row("development, unparseable", development, "pylon-dev://a b", {}, 0);
    }
    void urlsAreLoggedAndOnlyTheModesUninstallActs() {
        QFETCH(QString, identifier);
        QFETCH(QString, url);
        QFETCH(QStringList, log);
        QFETCH(int, confirmations);
        TemporaryHome home;
        const BuildEnvironment environment = makeEnvironment(home.path(), identifier);
        QCOMPARE(environment.bundleIdentifier(), identifier);
        OwnLog file;
        const FileLogger& menubar = file.logger(QStringLiteral("menubar"), identifier);
        MessageCapture capture;

        int asked = 0;
        QStringList logBeforeConfirmation;
        handleURL(url, environment, menubar, [&] {
            ++asked;
            logBeforeConfirmation = messagesOf(file.lines(), QStringLiteral("menubar"));
        });

        QCOMPARE(asked, confirmations);
        const QList<LogLine> lines = file.lines();
        QCOMPARE(messagesOf(lines, QStringLiteral("menubar")), log);
        QCOMPARE(lines.size(), log.size());
        // The request is logged before the confirmation is shown.
        if (confirmations > 0)
            QCOMPARE(logBeforeConfirmation, log);
        // Everything goes to the system log too, at info.
        QStringList system;
        for (const MessageCapture::Message& message : capture.messages(identifier + QStringLiteral(".menubar"))) {
            QCOMPARE(message.type, QtInfoMsg);
            system << message.text;
        }
        QCOMPARE(system, log);
    }
};

std::unique_ptr<QObject> makeUrlHandlerTest() {
    return std::make_unique<UrlHandlerTest>();
}

#include "UrlHandlerTest.moc"
