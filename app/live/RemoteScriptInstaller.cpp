// Installation of the control script: unpacking the bundle's archive into the staging folder and
// copying the staged folder into a User Library.

#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "live/AbletonSetupManager.h"
#include "live/LibraryConfig.h"
#include "live/RemoteScriptFiles.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcoroprocess.h>

namespace pylon {

namespace {

using RemoteScriptError = AbletonSetupManager::RemoteScriptError;
using FileError = AbletonSetupManager::FileError;

// What an operation needs, copied when it starts: the coroutines below never reach back into the
// manager after a suspension. The logger and the workspace live for the whole process.
struct Context {
    const FileLogger* log;
    Workspace* workspace;
    AbletonSetupManager::Options options;
};

QString stagingRootOf(const AbletonSetupManager::Options& options) {
    if (options.dataHome.isEmpty())
        return {};
    return QDir(options.dataHome).absolutePath() + QStringLiteral("/Pylon/remote-script");
}

QString parentOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// Awaits the end of a process's Starting state: Running, or NotRunning when it could not be started.
// The coroutine resumes from the event loop, never inside QProcess's own signal emission.
class StartupWait {
public:
    explicit StartupWait(QProcess& process)
        : m_process(process) {}

    bool await_ready() const { return m_process.state() != QProcess::Starting; }
    void await_suspend(std::coroutine_handle<> waiting) {
        // Shared with the connection, which may still deliver an event queued before it was cut.
        auto pending = std::make_shared<std::optional<std::coroutine_handle<>>>(waiting);
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            &m_process, &QProcess::stateChanged, &m_process,
            [pending, connection](QProcess::ProcessState state) {
                if (state == QProcess::Starting || !*pending)
                    return;
                QObject::disconnect(*connection);
                const std::coroutine_handle<> resume = **pending;
                pending->reset();
                resume.resume();
            },
            Qt::QueuedConnection);
    }
    void await_resume() const {}

private:
    QProcess& m_process;
};

QCoro::Task<QString> stage(Context context, QString archivePath) {
    const QString root = stagingRootOf(context.options);
    if (root.isEmpty())
        throw RemoteScriptError(RemoteScriptError::Kind::noDataFolder);
    const QString staged = root + QLatin1Char('/') + context.options.remoteScriptFolderName;

    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto preparation = runOffMainThread([root, staged] {
        makeFolder(parentOf(root));
        // A link in place of the staged folder goes as a link: nothing outside is removed.
        removeItem(staged);
        makeFolder(root);
    });
    (co_await preparation).get();

    // An absolute path can never be mistaken for an option.
    const QString archive = QFileInfo(archivePath).absoluteFilePath();
    QProcess unzip;
    unzip.setProgram(context.options.unzipPath);
    unzip.setArguments({QStringLiteral("-o"), QStringLiteral("-q"), archive, QStringLiteral("-d"), root});
    // unzip's messages go where the application's own go; it never waits for input.
    unzip.setProcessChannelMode(QProcess::ForwardedChannels);
    unzip.setStandardInputFile(QProcess::nullDevice());
    unzip.start(QIODevice::ReadOnly);
    co_await StartupWait(unzip);
    if (unzip.error() == QProcess::FailedToStart) {
        throw FileError((QStringLiteral("Could not start \"") + context.options.unzipPath + QStringLiteral("\": ") +
                         unzip.errorString() + QLatin1Char('.'))
                            .toStdString());
    }
    // Returns at once when the child has already exited; otherwise resumes on its finished signal,
    // which cannot have been delivered yet because no event was processed since the state check.
    co_await qCoro(unzip).waitForFinished(-1);
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0)
        throw RemoteScriptError(RemoteScriptError::Kind::unpackingFailed);

    context.log->info(QStringLiteral("unzipAndStageRemoteScript: extracted to ") + staged);
    co_return staged;
}

QCoro::Task<> install(Context context, AbletonSetupManager::AbletonVersion version, QString archivePath) {
    if (!version.userLibraryPath)
        throw RemoteScriptError(RemoteScriptError::Kind::unableToDetectUserLibrary);
    context.log->info(QStringLiteral("installRemoteScript: installing to version ") + version.version);

    const QString staged = co_await stage(context, archivePath);
    const QString destination = appendPathComponent(*version.userLibraryPath, QStringLiteral("Remote Scripts")) +
                                QLatin1Char('/') + context.options.remoteScriptFolderName;
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto copy = runOffMainThread([staged, destination, log = context.log] {
        makeFolder(parentOf(destination));
        // Copied beside the old copy and swapped in when complete, so a failure keeps the old one.
        replaceWithCopy(staged, destination);
        log->debug(QStringLiteral("copyRemoteScript: installed to ") + destination);
    });
    (co_await copy).get();
    context.log->info(QStringLiteral("installRemoteScript: installed to ") + destination);
}

QCoro::Task<> openStaged(Context context, QString archivePath) {
    const QString root = stagingRootOf(context.options);
    if (root.isEmpty())
        throw RemoteScriptError(RemoteScriptError::Kind::noDataFolder);
    const QString staged = root + QLatin1Char('/') + context.options.remoteScriptFolderName;

    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto check = runOffMainThread([root, staged] {
        makeFolder(parentOf(root));
        return itemExists(staged);
    });
    const bool alreadyStaged = (co_await check).get();
    if (!alreadyStaged)
        co_await stage(context, archivePath);

    context.workspace->openFile(root);
    context.log->info(QStringLiteral("openStagedRemoteScriptFolder: opened ") + root);
}

} // namespace

QString AbletonSetupManager::stagingRoot() const {
    return stagingRootOf(m_options);
}

QCoro::Task<> AbletonSetupManager::installRemoteScript(AbletonVersion version, QString archivePath) {
    const Context context{&m_log, &m_workspace, m_options};
    return install(context, std::move(version), std::move(archivePath));
}

QCoro::Task<QString> AbletonSetupManager::unzipAndStageRemoteScript(QString archivePath) {
    const Context context{&m_log, &m_workspace, m_options};
    return stage(context, std::move(archivePath));
}

QCoro::Task<> AbletonSetupManager::openStagedRemoteScriptFolder(QString archivePath) {
    const Context context{&m_log, &m_workspace, m_options};
    return openStaged(context, std::move(archivePath));
}

} // namespace pylon
