// Windows paths as Live under Wine writes them into Library.cfg. Parsing gives a path that prints
// and parses back to itself, or nothing; mapping one into a prefix never leaves the drive's folder.

#include "FuzzCheck.h"

#include "live/WindowsPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

using pylon::fuzz::check;

namespace {

// A small Wine prefix, made once: C: is drive_c with a user's folders, D: a folder beside it.
struct Prefix {
    QTemporaryDir dir;
    QString driveC;
    QString driveD;

    Prefix() {
        const QString root = dir.path();
        QDir(root).mkpath(QStringLiteral("drive_c/users/me/AppData/Roaming/Ableton/Live 12.1/Preferences"));
        QDir(root).mkpath(QStringLiteral("drive_c/users/me/Documents"));
        QDir(root).mkpath(QStringLiteral("data/Music"));
        QDir(root).mkpath(QStringLiteral("dosdevices"));
        QFile::link(QStringLiteral("../drive_c"), root + QStringLiteral("/dosdevices/c:"));
        QFile::link(root + QStringLiteral("/data"), root + QStringLiteral("/dosdevices/d:"));
        driveC = QDir(root + QStringLiteral("/drive_c")).canonicalPath();
        driveD = QDir(root + QStringLiteral("/data")).canonicalPath();
    }
};

Prefix& prefix() {
    static Prefix instance;
    return instance;
}

bool isBelow(const QString& path, const QString& root) {
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

void checkParsed(const pylon::WindowsPath& path) {
    check(path.drive >= u'a' && path.drive <= u'z', "the drive is a lower-case letter");
    for (const QString& component : path.components) {
        check(!component.isEmpty() && component != QLatin1String(".") && component != QLatin1String(".."),
              "no empty, . or .. component");
        check(!component.contains(QLatin1Char('/')) && !component.contains(QLatin1Char('\\')),
              "no separator inside a component");
    }
    const std::optional<pylon::WindowsPath> again = pylon::WindowsPath::parse(path.toString());
    check(again.has_value() && *again == path, "a printed path parses back to itself");
    check(again->comparisonKey() == path.comparisonKey(), "equal paths have equal keys");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<pylon::WindowsPath> path = pylon::WindowsPath::parse(text);
    if (!path)
        return 0;
    checkParsed(*path);
    if (path->drive != u'c' && path->drive != u'd')
        return 0;
    const std::optional<QString> mapped = pylon::mapWindowsPath(prefix().dir.path(), *path);
    const QString& root = path->drive == u'c' ? prefix().driveC : prefix().driveD;
    check(mapped.has_value(), "a path on an existing drive maps");
    check(isBelow(*mapped, root), "a mapped path stays inside its drive's folder");
    return 0;
}
