#include "core/WinePrefixList.h"

#include "live/WinePrefixes.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace pylon {

namespace {

QString quoted(const QString& path, const QString& homeDirectory) {
    return QLatin1Char('"') + homeRelativeDisplayPath(path, homeDirectory) + QLatin1Char('"');
}

// The same folder, however it is reached.
QString identity(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

QStringList userAddedWinePrefixes(const UserDefaults& defaults) {
    const std::optional<QVariant> stored = defaults.value(addedWinePrefixesKey);
    if (!stored)
        return {};
    QStringList prefixes = stored->toStringList();
    prefixes.removeIf([](const QString& path) { return !QDir::isAbsolutePath(path); });
    return prefixes;
}

WinePrefixAddition addUserWinePrefix(UserDefaults& defaults, const QString& folder, const QString& homeDirectory) {
    using Outcome = WinePrefixAddition::Outcome;
    if (folder.trimmed().isEmpty())
        return {Outcome::refused, {}, QStringLiteral("No folder was given.")};
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString shown = quoted(path, homeDirectory);
    if (!QFileInfo(path).isDir())
        return {Outcome::refused, path, shown + QStringLiteral(" is not a folder.")};
    if (!isWinePrefix(path)) {
        return {Outcome::refused, path,
                shown + QStringLiteral(" is not a Wine prefix: it holds no \"drive_c\" folder.")};
    }

    QStringList prefixes = userAddedWinePrefixes(defaults);
    const QString added = identity(path);
    for (const QString& listed : std::as_const(prefixes)) {
        if (identity(listed) == added)
            return {Outcome::alreadyAdded, path,
                    QStringLiteral("The Wine prefix ") + shown + QStringLiteral(" is already in Pylon's list.")};
    }
    prefixes.append(path);
    defaults.setValue(addedWinePrefixesKey, prefixes);
    return {Outcome::added, path,
            QStringLiteral("Added the Wine prefix ") + shown +
                QStringLiteral(": Pylon looks for Live in it from now on.")};
}

} // namespace pylon
