#pragma once

#include "foundation/BuildEnvironment.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace pylon {

// An application bundle folder laid out as on a Mac:
//   <name>.app/Contents/Info.plist, Contents/MacOS/<executable>, Contents/Resources/...
// A folder without a readable, well-formed Info.plist is a bundle without identifier and without
// info dictionary; it still has a path, so resources and helpers can be looked up beside it.
class Bundle {
public:
    // The bundle at `path` (the ".app" folder). The Info.plist is read once, here.
    static Bundle atPath(const QString& path);

    // The bundle holding the running executable: for ".../X.app/Contents/MacOS/exe" the X.app
    // folder, otherwise the folder holding the executable.
    static Bundle main();

    // The bundle that holds the executable at `executablePath` (see main()).
    static QString bundlePathForExecutable(const QString& executablePath);

    const QString& bundlePath() const { return m_path; }

    // CFBundleIdentifier when it is a non-empty string.
    std::optional<QString> identifier() const;

    // The info dictionary, absent when Info.plist is missing or malformed.
    const std::optional<QVariantMap>& infoDictionary() const { return m_info; }

    // One info-dictionary entry with its plist type (an <integer> stays a number).
    std::optional<QVariant> infoValue(const QString& key) const;

    // The path of a file in Contents/Resources named `name` + "." + `extension`, if it exists.
    std::optional<QString> resourcePath(const QString& name, const QString& extension) const;

    QString contentsPath() const;

    // What the build environment is made of.
    BundleFacts facts() const;

private:
    QString m_path;
    std::optional<QVariantMap> m_info;
};

} // namespace pylon
