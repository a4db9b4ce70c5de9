#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pylon {

// Reading a Live preference folder's "Library.cfg", which names the version's User Library as
//   <Ableton><ContentLibrary><UserLibrary><LibraryProject>
//     <ProjectPath Value="~/Music/Ableton"/> <ProjectName Value="User Library"/>
//   </LibraryProject></UserLibrary></ContentLibrary></Ableton>

// Files larger than this are not read: a real Library.cfg is a few kilobytes.
inline constexpr qint64 maximumLibraryConfigSize = qint64(16) * 1024 * 1024;

// `text` without the spaces, tabs and other Unicode space separators (category Zs) at either end.
// Line breaks are kept.
QString trimmedOfSpaceSeparators(const QString& text);

// The User Library path named by the configuration `contents`, as written: ProjectPath and ProjectName
// joined with one "/". Each value is that of the first element in document order at its place, as the
// XPath expression "/Ableton/ContentLibrary/UserLibrary/LibraryProject/ProjectPath/@Value" (and the
// same for ProjectName) selects it, trimmed of space separators. Nothing for bytes that are not XML or
// lack either value, or with an empty one.
std::optional<QString> libraryPathFromConfig(QByteArray contents);

// The same with a leading "~/" replaced by `homeDirectory`, as Live on macOS means it.
std::optional<QString> userLibraryPathFromConfig(QByteArray contents, const QString& homeDirectory);

// The same for the file at `path`; nothing when it is not a regular file (a symbolic link is not
// followed) of at most maximumLibraryConfigSize bytes, or cannot be read. The file is read at its size.
std::optional<QString> readLibraryConfig(const QString& path, const QString& homeDirectory);
// The same for `path` (in the file system's encoding) relative to the open folder `directory`.
std::optional<QString> readLibraryConfigAt(int directory, const char* path, const QString& homeDirectory);

// The path as written in the file at `path`, for Live under Wine, whose paths are Windows paths.
std::optional<QString> readLibraryConfigPath(const QString& path);

// `base` + "/" + `component`, without doubling a "/" that ends `base`.
QString appendPathComponent(const QString& base, const QString& component);

} // namespace pylon
