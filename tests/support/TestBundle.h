#pragma once

#include <QString>
#include <QVariantMap>

namespace pylon::test {

// Writes a bundle folder "<parent>/<name>.app" with Contents/Info.plist built from `info`
// (values keep their types, so an integer build number is written as <integer>).
QString makeBundle(const QString& parent, const QString& name, const QVariantMap& info);

// The same, with a literal Info.plist text (for malformed files); an empty text writes no file.
QString makeBundleWithInfoText(const QString& parent, const QString& name, const QByteArray& infoPlist);

// The usual info dictionary of a bundle with this identifier and version halves.
QVariantMap bundleInfo(const QString& identifier, const QString& shortVersion, const QString& build);

// The bundle folder "<name>.app" in the build tree (ctest sets PYLON_BUILD_DIR).
QString builtBundle(const QString& name);

// Data rows of a Qt Test for both built bundles: bundleName, identifier and mode.
void builtBundleRows();

} // namespace pylon::test
