#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace pylon {

class FileLogger;

// A running process as the pid file names it: its pid and its start time (field 22 of
// /proc/<pid>/stat), so a reused pid is not taken for it.
struct ProcessIdentity {
    qint64 pid = 0;
    quint64 startTime = 0;
    bool operator==(const ProcessIdentity&) const = default;
};

// Everything needed to start or stop the companion, held by value so a task can carry it past the
// life of the backend. The logger lives for the process.
struct CompanionProcess {
    QString program;
    QStringList arguments;
    QString registrationFile;
    QString pidFile;
    const FileLogger* log = nullptr;

    // The companion recorded in the pid file, if it still runs (not a zombie, same start time).
    std::optional<ProcessIdentity> running() const;
    // Starts the companion detached (its own session, standard streams on /dev/null) unless it runs
    // already, and records it in the pid file. Returns the running companion; `startedNow` tells
    // whether this call started it. Throws ServiceError.
    ProcessIdentity startUnlessRunning(bool* startedNow = nullptr) const;
    // SIGTERM to the companion and its session, SIGKILL after `grace`; removes the pid file. Blocks
    // until the companion is gone: run it off the main thread.
    void stop(std::chrono::milliseconds grace) const;
};

// Whether `identity` still runs: same pid, same start time, not a zombie.
bool isRunning(const ProcessIdentity& identity);

// The user's private files: the folder made 0700, the file replaced atomically with mode 0600.
// Returns false with `error` set when that fails.
bool writePrivateFile(const QString& path, const QByteArray& contents, QString* error = nullptr);

} // namespace pylon
