#pragma once

#include "Fakes.h"
#include "TemporaryHome.h"
#include "diagnostics/FileLogger.h"
#include "diagnostics/LogWriter.h"
#include "live/AbletonSetupManager.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <memory>
#include <qcoro/qcorotask.h>

namespace pylon::test {

// A temporary home with a private log file and a fake workspace, and a manager working in it.
class LiveFixture {
public:
    static constexpr const char* subsystem = "test.pylon";

    LiveFixture();

    // Replaces the manager; `adjust` changes the default options (home and data home in the fixture).
    AbletonSetupManager& rebuild(const std::function<void(AbletonSetupManager::Options&)>& adjust);
    AbletonSetupManager& manager() { return *m_manager; }
    const AbletonSetupManager::Options& options() const { return m_options; }

    QString preferencesRoot() const;
    // Creates "Library/Preferences/Ableton/<name>"; with `libraryConfig`, also its Library.cfg.
    QString addPreferenceFolder(const QString& name, const std::optional<QByteArray>& libraryConfig = std::nullopt);
    // Creates the folder `path` (absolute) with its parents and returns it.
    static QString makeFolder(const QString& path);

    // treeOf(home) without the log folder.
    QStringList homeTree() const;

    // The log messages written so far, multi-line messages kept whole.
    QStringList logMessages();

    TemporaryHome home;
    FakeWorkspace workspace;

private:
    LogWriter m_writer;
    FileLogger m_logger;
    AbletonSetupManager::Options m_options;
    std::unique_ptr<AbletonSetupManager> m_manager;
};

// A Library.cfg naming `projectPath` and `projectName` (escaped for an XML attribute).
QByteArray libraryConfig(const QString& projectPath, const QString& projectName);

// Runs `task` to its end in a nested event loop and returns what it threw, if anything.
std::exception_ptr failureOf(QCoro::Task<> task);
// `task` without its result.
QCoro::Task<> discardResult(QCoro::Task<QString> task);
// The description of a RemoteScriptError or FileError; empty for no failure.
QString descriptionOf(const std::exception_ptr& failure);

// Zip archives for tests, written with libzip.
struct ZipEntry {
    QString name;          // "Pylon/__init__.py"; a name ending in "/" is a folder
    QByteArray contents;   // for files
    QString symlinkTarget; // when set, the entry is a symbolic link to it
};
void writeZip(const QString& path, const QList<ZipEntry>& entries);
// The entry names of a zip archive, in archive order.
QStringList zipEntryNames(const QString& path);

// The Pylon.zip built into the production bundle.
QString builtArchivePath();

// Every file and folder below `root`, relative to it and sorted ("a", "a/b.py"); links not followed.
QStringList treeOf(const QString& root);

// Writes an executable shell script.
QString writeScript(const QString& path, const QByteArray& body);

} // namespace pylon::test
