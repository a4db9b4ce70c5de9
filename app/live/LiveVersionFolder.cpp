#include "live/LiveVersionFolder.h"

#include <QStringView>

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

} // namespace

std::optional<LiveVersionFolderName> parseLiveVersionFolderName(const QString& name) {
    if (!name.startsWith(livePrefix))
        return std::nullopt;
    QString version = name.mid(livePrefix.size());
    if (!startsWithDottedNumber(version))
        return std::nullopt;
    // The first two pieces end at the second "." (both are non-empty: digits come first and after
    // the first "."), or take the whole text.
    const qsizetype secondDot = version.indexOf(QLatin1Char('.'), version.indexOf(QLatin1Char('.')) + 1);
    QString displayName = livePrefix + (secondDot < 0 ? version : version.first(secondDot));
    return LiveVersionFolderName{std::move(version), std::move(displayName)};
}

QString majorLiveVersion(const QString& version) {
    // The first piece between dots that is not empty.
    qsizetype begin = 0;
    while (begin < version.size() && version[begin] == u'.')
        ++begin;
    if (begin == version.size())
        return version;
    const qsizetype end = version.indexOf(QLatin1Char('.'), begin);
    return version.sliced(begin, (end < 0 ? version.size() : end) - begin);
}

} // namespace pylon
