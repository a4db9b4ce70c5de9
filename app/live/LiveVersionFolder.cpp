#include "live/LiveVersionFolder.h"

#include <QFile>
#include <QStringList>
#include <QStringView>
#include <sys/stat.h>

namespace pylon {

namespace {

const QString livePrefix = QStringLiteral("Live ");

// Whether `text` starts with digits followed by at least one group of "." and digits, as in "12.1",
// "12.1.5" or "12.1b10"; whatever follows the match does not matter.
bool startsWithDottedNumber(QStringView text) {
    auto digitsFrom = [&](qsizetype i) {
        while (i < text.size() && text[i].unicode() >= u'0' && text[i].unicode() <= u'9')
            ++i;
        return i;
    };
    const qsizetype afterMajor = digitsFrom(0);
    if (afterMajor == 0 || afterMajor >= text.size() || text[afterMajor] != u'.')
        return false;
    return digitsFrom(afterMajor + 1) > afterMajor + 1;
}

QStringList versionPieces(const QString& version) {
    return version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

} // namespace

std::optional<LiveVersionFolderName> parseLiveVersionFolderName(const QString& name) {
    if (!name.startsWith(livePrefix))
        return std::nullopt;
    QString version = name.mid(livePrefix.size());
    if (!startsWithDottedNumber(version))
        return std::nullopt;
    QString displayName = livePrefix + versionPieces(version).mid(0, 2).join(QLatin1Char('.'));
    return LiveVersionFolderName{std::move(version), std::move(displayName)};
}

bool isRealFolder(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString majorLiveVersion(const QString& version) {
    const QStringList pieces = versionPieces(version);
    return pieces.isEmpty() ? version : pieces.first();
}

} // namespace pylon
