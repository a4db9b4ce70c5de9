#include "live/RemoteScriptFiles.h"

#include "live/AbletonSetupManager.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace pylon {

namespace fs = std::filesystem;

namespace {

fs::path fsPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString reason(const std::error_code& error) {
    return QString::fromLocal8Bit(error.message().c_str());
}

[[noreturn]] void fail(const QString& what, const QString& path, const std::error_code& error) {
    throw AbletonSetupManager::FileError(
        (what + QStringLiteral(" \"") + path + QStringLiteral("\": ") + reason(error) + QLatin1Char('.'))
            .toStdString());
}

QString parentOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// Names of the two hidden siblings used while replacing "<parent>/<name>".
QString stagingSibling(const QString& destination, const char* suffix) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(suffix);
}

} // namespace

bool itemExists(const QString& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(fsPath(path), error));
}

void makeFolder(const QString& path) {
    std::error_code error;
    fs::create_directories(fsPath(path), error);
    if (error)
        fail(QStringLiteral("Could not create the folder"), path, error);
    // create_directories accepts a link to a folder; anything else that is not a folder is an error.
    if (!fs::is_directory(fs::status(fsPath(path), error)))
        fail(QStringLiteral("Could not create the folder"), path, std::make_error_code(std::errc::not_a_directory));
}

void removeItem(const QString& path) {
    std::error_code error;
    // remove_all looks at the item itself (symlink_status): a link is unlinked, never followed.
    fs::remove_all(fsPath(path), error);
    if (error)
        fail(QStringLiteral("Could not remove"), path, error);
}

void replaceWithCopy(const QString& source, const QString& destination) {
    std::error_code error;
    const fs::file_status sourceStatus = fs::symlink_status(fsPath(source), error);
    if (!fs::is_directory(sourceStatus)) {
        // A link in place of the folder could point anywhere: it is not copied.
        const auto code = fs::exists(sourceStatus) ? std::errc::not_a_directory : std::errc::no_such_file_or_directory;
        fail(QStringLiteral("Could not find the folder to copy"), source, std::make_error_code(code));
    }

    const QString incoming = stagingSibling(destination, ".installing");
    const QString outgoing = stagingSibling(destination, ".previous");
    // An earlier run that stopped between the two renames left the old copy aside: put it back,
    // so that a failure below still leaves the user with it.
    if (!itemExists(destination) && itemExists(outgoing)) {
        fs::rename(fsPath(outgoing), fsPath(destination), error);
        error.clear();
    }
    removeItem(incoming);
    removeItem(outgoing);

    fs::copy(fsPath(source), fsPath(incoming), fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
        std::error_code ignored;
        fs::remove_all(fsPath(incoming), ignored);
        fail(QStringLiteral("Could not copy the remote script to"), parentOf(destination), error);
    }

    const bool hadItem = itemExists(destination);
    if (hadItem) {
        fs::rename(fsPath(destination), fsPath(outgoing), error);
        if (error) {
            std::error_code ignored;
            fs::remove_all(fsPath(incoming), ignored);
            fail(QStringLiteral("Could not replace"), destination, error);
        }
    }
    fs::rename(fsPath(incoming), fsPath(destination), error);
    if (error) {
        const std::error_code renameError = error;
        std::error_code ignored;
        if (hadItem)
            fs::rename(fsPath(outgoing), fsPath(destination), ignored);
        fs::remove_all(fsPath(incoming), ignored);
        fail(QStringLiteral("Could not replace"), destination, renameError);
    }
    // The new copy is in place; an old copy that cannot be removed now is removed by the next run.
    if (hadItem)
        fs::remove_all(fsPath(outgoing), error);
}

} // namespace pylon
