#pragma once

#include "live/LiveVersionFolder.h"
#include "live/WinePrefixes.h"
#include "status/AbletonVersion.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stdexcept>

namespace pylon {

class FileLogger;
class Workspace;

// Finds the installed Live versions and their User Libraries, and installs the Live control script
// (the bundle's "Pylon.zip") into a User Library's "Remote Scripts" folder. Live is looked for in two
// kinds of place: the macOS layout (~/Library/Preferences/Ableton) and every Wine prefix, where Live for
// Windows keeps its preferences in AppData and names its User Library by a Windows path, which is
// mapped through the prefix's drives.
class AbletonSetupManager {
public:
    using AbletonVersion = pylon::AbletonVersion;

    // One qualifying preference folder ("Live 12.1.5").
    struct PreferenceFolder {
        QString version;     // "12.1.5"
        QString displayName; // "Live 12.1"
        QString path;
        bool operator==(const PreferenceFolder&) const = default;
    };

    // Installation failures with the text the user is shown.
    class RemoteScriptError : public std::runtime_error {
    public:
        enum class Kind {
            unableToDetectUserLibrary, // the target has no User Library
            unpackingFailed,           // unzip exited with a non-zero status
            noDataFolder,              // no per-user data folder to stage the script in
        };
        explicit RemoteScriptError(Kind kind);
        Kind kind() const { return m_kind; }
        QString errorDescription() const;

    private:
        Kind m_kind;
    };

    // A failed file operation or child-process launch, with a description for the user.
    class FileError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
        QString description() const { return QString::fromStdString(what()); }
    };

    struct Options {
        QString homeDirectory; // where Library/Preferences/Ableton is looked for
        QString dataHome;      // the per-user data folder; empty: none (staging then fails)
        QString unzipPath = QStringLiteral("/usr/bin/unzip");
        QString remoteScriptFolderName = QStringLiteral("Pylon");
        // Where Wine prefixes are looked for besides the home's well-known folders (WinePrefixes.h): the
        // value of WINEPREFIX (empty when unset), the XDG config home for Lutris (empty: ~/.config), and
        // the prefixes the user added.
        QString winePrefixVariable = {};
        QString configHome = {};
        QStringList userAddedWinePrefixes = {};
    };

    // What one discovery found, and where it looked.
    struct Discovery {
        QList<AbletonVersion> versions;  // sorted, newest major version first
        QList<WinePrefix> winePrefixes;  // every prefix searched, in search order
        qsizetype preferenceFolders = 0; // qualifying preference folders, of every place
    };

    AbletonSetupManager(const FileLogger& log, Workspace& workspace, Options options);

    const Options& options() const { return m_options; }
    const QString& remoteScriptFolderName() const { return m_options.remoteScriptFolderName; }

    // The prefixes a user added (the controller keeps them in the user defaults).
    void setUserAddedWinePrefixes(QStringList prefixes) { m_options.userAddedWinePrefixes = std::move(prefixes); }

    // Discovery. Re-reads the file system on every call and only reads; never fails (the worst is an
    // empty list). May run on any thread: it touches nothing but the file system and the logger.
    Discovery discover() const;
    QList<AbletonVersion> detectAbletonVersions() const { return discover().versions; }
    // The qualifying preference folders of the macOS layout.
    QList<PreferenceFolder> scanPreferenceFolders() const;
    std::optional<QString> readUserLibraryPath(const QString& libraryCfgPath) const;
    // Whether "<userLibraryPath>/Remote Scripts/<folder name>" exists (as any kind of item).
    bool isRemoteScriptInstalled(const AbletonVersion& version) const;

    // Installation; throws RemoteScriptError or FileError. Calls must not overlap (they share one
    // staging folder). File work runs off the main thread.
    QCoro::Task<> installRemoteScript(AbletonVersion version, QString archivePath);
    QCoro::Task<QString> unzipAndStageRemoteScript(QString archivePath);
    QCoro::Task<> openStagedRemoteScriptFolder(QString archivePath);

    QString stagingRoot() const; // <data home>/Pylon/remote-script

private:
    // Calls `visit` for each qualifying preference folder of the macOS layout, in listing order, with
    // the listed folder open as `directory` and the entry's `name` in the file system's encoding.
    void visitPreferenceFolders(
        const std::function<void(int directory, const char* name, const LiveVersionFolderName& folder)>& visit) const;
    QString preferencesRoot() const; // ~/Library/Preferences/Ableton

    const FileLogger& m_log;
    Workspace& m_workspace;
    Options m_options;
};

} // namespace pylon
