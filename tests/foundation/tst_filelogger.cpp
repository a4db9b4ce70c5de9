#include "FileSizeLimit.h"
#include "MessageCapture.h"
#include "PosixFiles.h"
#include "TemporaryHome.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "foundation/LogLine.h"
#include "foundation/LogWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pylon;
using pylon::test::BoundSocket;
using pylon::test::FileSizeLimit;
using pylon::test::MessageCapture;
using pylon::test::modeOf;
using pylon::test::readFile;
using pylon::test::TemporaryHome;

namespace {

const QString subsystem = QStringLiteral("net.ostrand.Pylon");

QStringList fileLines(const QString& path) {
    QStringList lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// Something other than a regular file at `path`: a link to `target` ("link") or to the missing
// `nowhere` ("dangling"), a named pipe ("fifo", "fifo-read" with a reader held open), a socket or a folder.
struct SpecialFile {
    SpecialFile(const QString& kind, const QString& path, const QString& target, const QString& nowhere) {
        const QByteArray name = QFile::encodeName(path);
        if (kind == QLatin1String("link"))
            made = QFile::link(target, path);
        else if (kind == QLatin1String("dangling"))
            made = QFile::link(nowhere, path);
        else if (kind.startsWith(QLatin1String("fifo")))
            made = ::mkfifo(name.constData(), 0600) == 0;
        if (kind == QLatin1String("fifo-read"))
            made = made && (reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK)) >= 0;
        if (kind == QLatin1String("folder"))
            made = QDir().mkdir(path);
        if (kind == QLatin1String("socket"))
            made = (socket = std::make_unique<BoundSocket>(path))->isBound();
    }
    ~SpecialFile() {
        if (reader >= 0)
            ::close(reader);
    }
    bool made = false;
    int reader = -1;
    std::unique_ptr<BoundSocket> socket;
};

// What the process writes to standard error (the descriptor itself) while the object lives.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        m_file.open();
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }
    QString text() {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

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

    void failedWritesAreReportedEachTimeAndNeverRetried() {
        // A regular file the process may not make larger than 1 byte: every write fails (EFBIG).
        m_home->writeFile(QStringLiteral("logs/pylon-menubar.log"), "x");
        MessageCapture capture;
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        {
            const FileSizeLimit limit(1);
            logger.info(QStringLiteral("one"));
            logger.info(QStringLiteral("two"));
            writer.flush();
        }
        int failures = 0;
        for (const auto& message : capture.messages(QStringLiteral("net.ostrand.Pylon.menubar")))
            failures += message.text.startsWith(QStringLiteral("Failed to write to log file: "));
        QCOMPARE(failures, 2);
        QCOMPARE(readFile(logFile()), QByteArray("x"));
    }

    // A link, a named pipe (with or without a reader), a socket or a folder in place of the log is refused,
    // said on standard error and in the system log, and the program goes on without the file: a
    // link's target is never written, and nothing ever waits on a pipe.
    void logFileIsOnlyARegularFileAndNeverBlocks_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("described");
        QTest::newRow("link to a file") << "link" << "a symbolic link";
        QTest::newRow("dangling link") << "dangling" << "a symbolic link";
        QTest::newRow("pipe without reader") << "fifo" << "a named pipe (FIFO)";
        QTest::newRow("pipe with reader") << "fifo-read" << "a named pipe (FIFO)";
        QTest::newRow("socket") << "socket" << "a socket";
        QTest::newRow("folder") << "folder"
                                << "a folder";
    }
    void logFileIsOnlyARegularFileAndNeverBlocks() {
        QFETCH(QString, kind);
        QFETCH(QString, described);
        QVERIFY(QDir().mkpath(logDir()));
        const QByteArray path = QFile::encodeName(logFile());
        const QString target = m_home->writeFile(QStringLiteral("elsewhere.txt"), "not a log\n");
        const SpecialFile special(kind, logFile(), target, m_home->path() + QStringLiteral("/nowhere"));
        QVERIFY(special.made);
        MessageCapture capture;
        StandardErrorCapture errors;
        LogWriter writer(logDir(), logFile());
        // Set up on a thread of its own: if it hangs on the pipe, a reader lets it go and the case fails.
        auto settingUp = std::async(std::launch::async, [&] {
            FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
            logger.info(QStringLiteral("goes on"));
            writer.flush();
        });
        if (settingUp.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            const int unblock = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
            settingUp.wait();
            ::close(unblock);
            QFAIL("setting up the log waited on the named pipe");
        }
        const QString stderrText = errors.text();

        QVERIFY(!writer.isFileOpen());
        const auto messages = capture.messages(QStringLiteral("net.ostrand.Pylon.menubar"));
        QCOMPARE(messages.size(), 2);
        const QString refusal = QStringLiteral("\u201C%1\u201D is %2, not a regular file").arg(logFile(), described);
        QCOMPARE(messages[0].text, QStringLiteral("Failed to open log file: ") + refusal);
        QCOMPARE(messages[1].text, QStringLiteral("goes on"));
        QVERIFY2(stderrText.contains(QStringLiteral("Pylon: not writing the log file: ") + refusal),
                 qPrintable(stderrText));
        QCOMPARE(readFile(target), QByteArray("not a log\n"));
        QVERIFY(!QFileInfo::exists(m_home->path() + QStringLiteral("/nowhere")));
        if (special.reader >= 0) {
            char byte = 0;
            QCOMPARE(::read(special.reader, &byte, 1), ssize_t(0)); // nothing was written into the pipe
        }
    }

    // The log holds paths and host names: 0600 in a 0700 folder, also when an earlier version left
    // them readable for everyone.
    void logFileAndFolderArePrivate() {
        const mode_t savedMask = ::umask(022);
        auto restoreMask = qScopeGuard([&] { ::umask(savedMask); });
        {
            LogWriter writer(logDir(), logFile());
            FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
            QCOMPARE(modeOf(logDir()), 0700);
            QCOMPARE(modeOf(logFile()), 0600);
        }
        QVERIFY(::chmod(QFile::encodeName(logDir()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(logFile()).constData(), 0644) == 0);
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        logger.info(QStringLiteral("kept private"));
        writer.flush();
        QCOMPARE(modeOf(logDir()), 0700);
        QCOMPARE(modeOf(logFile()), 0600);
        QCOMPARE(fileLines(logFile()).size(), 1);
    }

    // Whatever a value holds (a Library.cfg path with a line feed, say), it never starts a line of
    // its own: line ends and other controls are escaped in the message, the tags and the metadata.
    void valuesNeverForgeLines() {
        LogWriter writer(logDir(), logFile());
        FileLogger logger(QStringLiteral("menubar"), subsystem, writer);
        FileLogger oddComponent(QStringLiteral("x\n2025-01-01T00:00:00.000Z [pylon-companion][y]"), subsystem, writer);
        const QString forged = QStringLiteral("\n2025-01-01T00:00:00.000Z [pylon-companion][menubar] forged");
        const QString controls = QStringLiteral("a\rb\tc\x0B" "d\x0C" "e\x1B" "f\x7F" "g") + QChar(0x85) +
                                 QChar(0x9B) + QChar(0x2028) + QChar(0x2029) + QStringLiteral("h");
        logger.info(QStringLiteral("Library at /home/a") + forged);
        logger.info(controls, {{QStringLiteral("path"), QStringLiteral("/x\ny") + QChar(0x2028) + QChar(0x85)}});
        oddComponent.info(QStringLiteral("tagged"));
        logger.info(QStringLiteral("plain é → C:\\users\\x \\n stays"));
        // An indented continuation line stays a line of its own entry; an unindented one cannot.
        logger.info(QStringLiteral("found 1 user libraries\n  Live 12: /a\n2025-01-01T00:00:00.000Z x\n"));
        writer.flush();

        const QString text = QString::fromUtf8(readFile(logFile()));
        static const QRegularExpression lineEnd(QStringLiteral("[\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
        QStringList lines = text.split(lineEnd);
        QCOMPARE(lines.takeLast(), QString()); // the text ends with the last line's line feed
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines[5].startsWith(QLatin1String("  Live 12: /a\\n2025-01-01T00:00:00.000Z x\\n")));
        lines.removeLast();
        QVERIFY(lines[4].endsWith(QLatin1String("[menubar] found 1 user libraries")));
        lines.removeLast();
        QStringList messages;
        for (const QString& line : lines)
            messages << line.section(QLatin1Char(' '), 1);
        QCOMPARE(messages, (QStringList{
            "[pylon-companion][menubar] Library at /home/a\\n2025-01-01T00:00:00.000Z "
            "[pylon-companion][menubar] forged",
            "[pylon-companion][menubar] a\\rb\\tc\\u000bd\\u000ce\\u001bf\\u007fg\\u0085\\u009b\\u2028\\u2029h "
            "{\"path\":\"\\/x\\ny\\u2028\\u0085\"}",
            "[pylon-companion][x\\n2025-01-01T00:00:00.000Z [pylon-companion][y]] tagged",
            "[pylon-companion][menubar] plain é → C:\\users\\x \\n stays"}));
        // The metadata is still JSON, and decodes to the original value.
        const QString json = lines[1].mid(lines[1].indexOf(QLatin1Char('{')));
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8()).object().value(QStringLiteral("path")).toString(),
                 QStringLiteral("/x\ny") + QChar(0x2028) + QChar(0x85));
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
