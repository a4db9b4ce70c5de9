#include "MessageCapture.h"
#include "TemporaryHome.h"

#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "foundation/LogLine.h"
#include "foundation/LogWriter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <thread>

using namespace pylon;
using pylon::test::MessageCapture;
using pylon::test::TemporaryHome;
using pylon::test::readFile;

namespace {

const QString subsystem = QStringLiteral("net.ostrand.Pylon");

QStringList fileLines(const QString& path) {
    QStringList lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class FileLoggerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_home;
    QString logDir() const { return m_home->path() + QStringLiteral("/logs"); }
    QString logFile() const { return logDir() + QStringLiteral("/pylon-menubar.log"); }

private slots:
    void init() { m_home = std::make_unique<TemporaryHome>(); }
    void cleanup() { m_home.reset(); }

    void firstLoggerCreatesDirectoryAndEmptyFileLaterOnesDoNoFileWork() {
        LogWriter writer(logDir(), logFile());
        QVERIFY(!QFileInfo::exists(logDir()));
        FileLogger first(QStringLiteral("menubar"), subsystem, writer);
        QVERIFY(QFileInfo(logDir()).isDir());
        QVERIFY(QFileInfo::exists(logFile()));
        QCOMPARE(QFileInfo(logFile()).size(), 0);

        // A later logger must not set the file up again, so a removed file stays removed.
        QVERIFY(QFile::remove(logFile()));
        FileLogger second(QStringLiteral("installer"), subsystem, writer);
        writer.flush();
        QVERIFY(!QFileInfo::exists(logFile()));
    }

    // Appended after what the file held, never truncating it.
    void lineHasTimestampTagsMessageAndSortedMetadata() {
        m_home->writeFile(QStringLiteral("logs/pylon-menubar.log"), "earlier line\n");
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("companion-manager"), subsystem, writer);
        logger.info(QStringLiteral("plain"));
        logger.info(QStringLiteral("empty metadata"), QVariantMap{});
        logger.error(QStringLiteral("Diagnostic report saved"),
                     {{QStringLiteral("path"), QStringLiteral("/tmp/a b/report.zip")},
                      {QStringLiteral("error"), QStringLiteral("none")},
                      {QStringLiteral("count"), 3}});
        writer.flush();

        const QByteArray bytes = readFile(logFile());
        QVERIFY(bytes.endsWith('\n') && !bytes.contains("\n\n"));
        static const QRegularExpression shape(QStringLiteral(
            R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z \[pylon-companion\]\[companion-manager\] (.*)$)"));
        QStringList rest;
        const QStringList lines = fileLines(logFile());
        QCOMPARE(lines.value(0), QStringLiteral("earlier line"));
        for (const QString& line : lines.mid(1)) {
            const auto match = shape.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            rest << match.captured(1);
        }
        QCOMPARE(rest, (QStringList{"plain", "empty metadata", R"(Diagnostic report saved {"count":3,"error":"none",)"
                                                               R"("path":"\/tmp\/a b\/report.zip"})"}));
        // The level is never written into the file.
        QVERIFY(!bytes.contains("error]") && !bytes.contains("info"));
    }

    void timestampIsUtcWithMilliseconds() {
        using std::chrono::milliseconds, std::chrono::system_clock;
        QCOMPARE(logTimestamp(system_clock::time_point(milliseconds(1741079702481))), "2025-03-04T09:15:02.481Z");
        QCOMPARE(logTimestamp(system_clock::time_point(milliseconds(5))), "1970-01-01T00:00:00.005Z");
    }

    void linesFromManyThreadsNeverInterleaveAndKeepPerThreadOrder() {
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        constexpr int threads = 8, perThread = 1000;
        // Long messages make a torn write visible.
        const QString padding(200, QLatin1Char('x'));
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i)
                    logger.debug(QStringLiteral("thread %1 message %2 %3").arg(t).arg(i).arg(padding));
            });
        }
        for (auto& worker : workers)
            worker.join();
        writer.flush();

        const QStringList lines = fileLines(logFile());
        QCOMPARE(lines.size(), threads * perThread);
        static const QRegularExpression body(
            QStringLiteral(R"(^\S+ \[pylon-companion\]\[menubar\] thread (\d) message (\d+) x{200}$)"));
        std::vector<int> next(threads, 0);
        for (const QString& line : lines) {
            const auto match = body.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line.left(120)));
            const int t = match.captured(1).toInt();
            QCOMPARE(match.captured(2).toInt(), next[t]++);
        }
    }

    void levelsMapToSystemLogTypes() {
        MessageCapture capture;
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        logger.log(LogLevel::error, QStringLiteral("e"));
        logger.log(LogLevel::warning, QStringLiteral("w"), {{QStringLiteral("k"), 1}}); // reaches the system log bare
        logger.log(LogLevel::info, QStringLiteral("i"));
        logger.log(LogLevel::debug, QStringLiteral("d")); // debug is off unless logging rules enable it
        writer.flush();

        QList<std::pair<QtMsgType, QString>> messages;
        for (const auto& message : capture.messages(QStringLiteral("net.ostrand.Pylon.menubar")))
            messages.append({message.type, message.text});
        QCOMPARE(messages,
                 (QList<std::pair<QtMsgType, QString>>{{QtCriticalMsg, "e"}, {QtCriticalMsg, "w"}, {QtInfoMsg, "i"}}));
        QCOMPARE(fileLines(logFile()).size(), 4);
    }

    void uncreatableDirectoryTurnsFileLoggingOffButNotTheSystemLog() {
        m_home->writeFile(QStringLiteral("blocker"), "a file where a folder should be");
        const QString dir = m_home->path() + QStringLiteral("/blocker/logs");
        MessageCapture capture;
        LogWriter writer(dir, dir + QStringLiteral("/pylon-menubar.log"));
        FileLogger logger(QStringLiteral("installer"), subsystem, writer);
        logger.info(QStringLiteral("still heard"));
        writer.flush();

        QVERIFY(!writer.isFileOpen());
        const auto messages = capture.messages(QStringLiteral("net.ostrand.Pylon.installer"));
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].type, QtCriticalMsg);
        QVERIFY(messages[0].text.startsWith(QStringLiteral("Failed to create log directory: ")));
        QCOMPARE(messages[1].text, QStringLiteral("still heard"));
    }

    void unopenableFileIsReportedAndLinesAreDropped() {
        QDir().mkpath(logFile()); // a folder in place of the file
        MessageCapture capture;
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        logger.info(QStringLiteral("dropped"));
        writer.flush();
        QVERIFY(!writer.isFileOpen());
        const auto messages = capture.messages(QStringLiteral("net.ostrand.Pylon.menubar"));
        QVERIFY(!messages.isEmpty() && messages[0].text.startsWith(QStringLiteral("Failed to open log file: ")));
    }

    void failedWritesAreReportedEachTimeAndNeverRetried() {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        QDir().mkpath(logDir());
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), logFile()));
        MessageCapture capture;
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        logger.info(QStringLiteral("one"));
        logger.info(QStringLiteral("two"));
        writer.flush();
        int failures = 0;
        for (const auto& message : capture.messages(QStringLiteral("net.ostrand.Pylon.menubar")))
            failures += message.text.startsWith(QStringLiteral("Failed to write to log file: "));
        QCOMPARE(failures, 2);
    }

    void textWithoutUtf8FormSkipsTheFileOnly() {
        MessageCapture capture;
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        logger.info(QStringLiteral("half ") + QChar(0xD800) + QStringLiteral(" surrogate"));
        logger.info(QStringLiteral("fine é →"));
        writer.flush();
        const QStringList lines = fileLines(logFile());
        QVERIFY(lines.size() == 1 && lines[0].endsWith(QStringLiteral("fine é →")));
        QCOMPARE(capture.messages(QStringLiteral("net.ostrand.Pylon.menubar")).size(), 2);
    }

    void processLoggersWriteToTheModesLogFile() {
        // process::environment() is fixed on first use: in this process the test executable
        // has no bundle, so it is production and its data home is the one of the home set here.
        const BuildEnvironment& environment = process::environment();
        QCOMPARE(environment.menubarLogFile(),
                 m_home->dataHome() + QStringLiteral("/Pylon/logs/pylon-menubar.log"));
        QCOMPARE((QStringList{process::loggers().menubar.component(), process::loggers().installer.component(),
                              process::loggers().companionManager.component()}),
                 (QStringList{"menubar", "installer", "companion-manager"}));
        process::loggers().uninstall.info(QStringLiteral("shared line"));
        process::flushLog();
        const QStringList lines = fileLines(environment.menubarLogFile());
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith(QStringLiteral("[pylon-companion][uninstall] shared line")));
    }
};

QTEST_GUILESS_MAIN(FileLoggerTest)
#include "tst_filelogger.moc"
