#include "TestBundle.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace pylon::test {

QString makeBundleWithInfoText(const QString& parent, const QString& name, const QByteArray& infoPlist) {
    const QString path = parent + QLatin1Char('/') + name + QStringLiteral(".app");
    QDir().mkpath(path + QStringLiteral("/Contents/MacOS"));
    QDir().mkpath(path + QStringLiteral("/Contents/Resources"));
    if (!infoPlist.isEmpty()) {
        QFile file(path + QStringLiteral("/Contents/Info.plist"));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(infoPlist);
    }
    return path;
}

QString makeBundle(const QString& parent, const QString& name, const QVariantMap& info) {
    return makeBundleWithInfoText(parent, name, PropertyList::serialize(info));
}

QVariantMap bundleInfo(const QString& identifier, const QString& shortVersion, const QString& build) {
    return QVariantMap{
        {QStringLiteral("CFBundleIdentifier"), identifier},
        {QStringLiteral("CFBundleShortVersionString"), shortVersion},
        {QStringLiteral("CFBundleVersion"), build},
    };
}

QString builtBundle(const QString& name) {
    return qEnvironmentVariable("PYLON_BUILD_DIR") + QLatin1Char('/') + name + QStringLiteral(".app");
}

void builtBundleRows() {
    QTest::addColumn<QString>("bundleName");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("mode");
    QTest::newRow("production") << QStringLiteral("Pylon") << QStringLiteral("net.ostrand.Pylon")
                                << QStringLiteral("production");
    QTest::newRow("development") << QStringLiteral("Pylon-Dev") << QStringLiteral("net.ostrand.Pylon-Dev")
                                 << QStringLiteral("development");
}

} // namespace pylon::test
