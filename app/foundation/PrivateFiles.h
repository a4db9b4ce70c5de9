#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

// The user's private files (logs, settings, the report's working folder and the saved report):
// files are 0600 and folders 0700, and only regular files are opened, without following a link at
// the last path component and without ever blocking on a named pipe or device.
namespace pylon::PrivateFiles {

inline constexpr mode_t fileMode = 0600;
inline constexpr mode_t folderMode = 0700;

// Creates `path` and every missing folder above it with mode 0700 (folders that exist are left as
// they are), then makes `path` itself 0700 when it belongs to this user. Nothing when `path` is
// a private folder of this user afterwards, else why not.
std::optional<QString> makePrivateFolder(const QString& path);

// What openRegularFile() found: a descriptor, or -1 and why not.
struct OpenedFile {
    int fd = -1;
    QString error;
    // True when the path held something other than a regular file (a link, pipe, device, socket,
    // folder); `error` then names what it was.
    bool notRegular = false;
    // The system's error number when opening failed for another reason.
    int systemError = 0;
};

// Opens `path` with `flags` (O_RDONLY, O_WRONLY, O_RDWR, optionally O_CREAT and O_APPEND), adding
// O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC; a file it creates is 0600. Anything but a regular file is
// refused and closed again. The descriptor of a regular file is returned blocking again; with
// `makePrivate` a file of this user is made 0600 through it.
OpenedFile openRegularFile(const QString& path, int flags, bool makePrivate = false);

// "a symbolic link", "a named pipe (FIFO)", "a folder", "a device", "a socket" or "a regular file".
QString describeFileType(mode_t mode);

} // namespace pylon::PrivateFiles
