#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pugi {
class xml_document;
}

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

// The trimmed string value of the first node that the XPath 1.0 expression selects, or nothing
// when the expression fails or selects no node.
std::optional<QString> xpathStringValue(const pugi::xml_document& document, const char* expression);

// The User Library path named by the configuration `contents`: ProjectPath and ProjectName joined
// with one "/", a leading "~/" replaced by `homeDirectory`. Nothing for bytes that are not XML or
// lack either value.
std::optional<QString> userLibraryPathFromConfig(const QByteArray& contents, const QString& homeDirectory);

// The same for the file at `path`; nothing when it is not a readable regular file of at most
// maximumLibraryConfigSize bytes.
std::optional<QString> readLibraryConfig(const QString& path, const QString& homeDirectory);

// `base` + "/" + `component`, without doubling a "/" that ends `base`.
QString appendPathComponent(const QString& base, const QString& component);

} // namespace pylon
