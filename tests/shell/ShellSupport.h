#pragma once

#include "core/BuildEnvironment.h"
#include "diagnostics/FileLogger.h"
#include "diagnostics/LogWriter.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <list>
#include <memory>

namespace pylon::test {

inline const QString productionIdentifier = QStringLiteral("net.ostrand.Pylon");
inline const QString developmentIdentifier = QStringLiteral("net.ostrand.Pylon-Dev");

// The argument that turns the test executable into a single-instance helper process:
// `tst_shell <singleInstanceHelperArgument> <bundle identifier> [<gate file>]` listens (printing
// "listening") or forwards "helper" (printing "forwarded"), then prints every message it receives as
// "message:<text>". With a gate file it first prints "ready" and waits until the file exists.
inline const char* const singleInstanceHelperArgument = "--single-instance-helper";
int runSingleInstanceHelper(int argc, char** argv);

// The build environment of a test bundle with `identifier`, written below `parent`.
BuildEnvironment makeEnvironment(const QString& parent, const QString& identifier);

// One line of a log file, split into its component tag and its message.
struct LogLine {
    QString component;
    QString message;
    bool operator==(const LogLine&) const = default;
};

// The lines of a log file ("<time> [pylon-companion][<component>] <message>").
QList<LogLine> logLines(const QByteArray& logFile);
// Messages of `component` only, in order.
QStringList messagesOf(const QList<LogLine>& lines, const QString& component);

// A log file of its own in a temporary folder, with loggers on its writer.
class OwnLog {
public:
    OwnLog();
    FileLogger& logger(const QString& component, const QString& subsystem = productionIdentifier);
    // Everything written so far.
    QList<LogLine> lines();
    QString filePath() const { return m_dir.path() + QStringLiteral("/logs/test.log"); }

private:
    QTemporaryDir m_dir;
    LogWriter m_writer;
    std::list<FileLogger> m_loggers;
};

} // namespace pylon::test

// The suites of tst_shell, run one after the other by its main(); the first-run suite last, as
// its uninstall removes the process's own data folder.
std::unique_ptr<QObject> makeUrlHandlerTest();
std::unique_ptr<QObject> makeUninstallCleanupTest();
std::unique_ptr<QObject> makeSingleInstanceTest();
std::unique_ptr<QObject> makeFirstRunTest();
