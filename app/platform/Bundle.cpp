#include "platform/Bundle.h"

#include "platform/PropertyList.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <QFileInfo>

namespace pylon {

Bundle Bundle::atPath(const QString& path) {
    Bundle bundle;
    bundle.m_path = QDir::cleanPath(path);
    if (auto root = PropertyList::parseFile(bundle.contentsPath() + QStringLiteral("/Info.plist"));
        root && root->typeId() == QMetaType::QVariantMap) {
        bundle.m_info = root->toMap();
    }
    return bundle;
}

QString Bundle::bundlePathForExecutable(const QString& executablePath) {
    const QFileInfo executable(executablePath);
    const QDir macOS = executable.absoluteDir();
    QDir contents = macOS;
    if (macOS.dirName() == QLatin1String("MacOS") && contents.cdUp() &&
        contents.dirName() == QLatin1String("Contents")) {
        QDir bundle = contents;
        if (bundle.cdUp())
            return bundle.absolutePath();
    }
    return macOS.absolutePath();
}

Bundle Bundle::main() {
    return atPath(bundlePathForExecutable(SystemInfo::currentExecutablePath()));
}

std::optional<QString> Bundle::identifier() const {
    auto value = infoValue(QStringLiteral("CFBundleIdentifier"));
    if (!value || value->typeId() != QMetaType::QString || value->toString().isEmpty())
        return std::nullopt;
    return value->toString();
}

std::optional<QVariant> Bundle::infoValue(const QString& key) const {
    if (!m_info)
        return std::nullopt;
    auto it = m_info->constFind(key);
    if (it == m_info->cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> Bundle::resourcePath(const QString& name, const QString& extension) const {
    QString fileName = name;
    if (!extension.isEmpty())
        fileName += QLatin1Char('.') + extension;
    const QString path = contentsPath() + QStringLiteral("/Resources/") + fileName;
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

BundleFacts Bundle::facts() const {
    return BundleFacts{identifier(), infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QVariant()),
                       infoValue(QStringLiteral("CFBundleVersion")).value_or(QVariant()), m_path};
}

QString Bundle::contentsPath() const {
    return m_path + QStringLiteral("/Contents");
}

} // namespace pylon
