// Lutris game configurations (YAML) as Wine prefix discovery reads them for the "prefix" under "game".
// A prefix found is an absolute path on one line; written back as a quoted scalar it reads the same,
// and the home folder only ever changes a leading "~".

#include "FuzzCheck.h"
#include "live/WinePrefixes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

using pylon::fuzz::check;

namespace {

// Two homes of the same length, so that a path expanded from "~/" differs only in them.
const QString firstHome = QStringLiteral("/home/anna");
const QString secondHome = QStringLiteral("/home/alex");

std::optional<QString> prefixIn(const QString& quotedValue) {
    const QByteArray yaml = QByteArrayLiteral("game:\n  prefix: ") + quotedValue.toUtf8() + QByteArrayLiteral("\n");
    return pylon::lutrisGamePrefix(yaml, firstHome);
}

void checkQuotedAgain(const QString& prefix) {
    QString single = prefix;
    single.replace(QLatin1Char('\''), QStringLiteral("''"));
    const std::optional<QString> fromSingle = prefixIn(QLatin1Char('\'') + single + QLatin1Char('\''));
    check(fromSingle == prefix, "a prefix written single-quoted reads the same");

    QString doubled = prefix;
    doubled.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    const std::optional<QString> fromDouble = prefixIn(QLatin1Char('"') + doubled + QLatin1Char('"'));
    check(fromDouble == prefix, "a prefix written double-quoted reads the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView yaml(data, qsizetype(size));
    const std::optional<QString> prefix = pylon::lutrisGamePrefix(yaml, firstHome);
    const std::optional<QString> elsewhere = pylon::lutrisGamePrefix(yaml, secondHome);
    check(prefix.has_value() == elsewhere.has_value(), "the home folder never decides whether there is a prefix");
    if (!prefix)
        return 0;
    check(prefix->startsWith(QLatin1Char('/')), "a prefix is an absolute path");
    check(!prefix->contains(QLatin1Char('\n')), "a prefix is one line");
    if (*prefix != *elsewhere) {
        check(prefix->startsWith(firstHome) && elsewhere->startsWith(secondHome) &&
                  prefix->mid(firstHome.size()) == elsewhere->mid(secondHome.size()),
              "only a leading ~ depends on the home folder");
    }
    checkQuotedAgain(*prefix);
    return 0;
}
