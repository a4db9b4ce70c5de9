#include "platform/linux/LaunchAgentJob.h"

#include "platform/PropertyList.h"
#include "platform/ServiceManager.h"

#include <QDir>
#include <QFileInfo>

namespace pylon {

namespace {

// Relative paths in a launch-agent plist are taken from the bundle root.
QString absoluteInBundle(const QString& bundlePath, const QString& path) {
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    return QDir::cleanPath(bundlePath + QLatin1Char('/') + path);
}

} // namespace

LaunchAgentJob LaunchAgentJob::read(const ServiceAgent& agent) {
    LaunchAgentJob job;
    job.plistPath = agent.plistPath();
    if (!QFileInfo::exists(job.plistPath))
        throw ServiceError(
            QStringLiteral("The launch agent %1 is not in the application bundle.").arg(job.plistPath).toStdString());
    const auto root = PropertyList::parseFile(job.plistPath);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        throw ServiceError(QStringLiteral("The launch agent %1 cannot be read.").arg(job.plistPath).toStdString());
    const QVariantMap plist = root->toMap();

    const auto string = [&plist](const char* key) {
        const QVariant value = plist.value(QLatin1String(key));
        return value.typeId() == QMetaType::QString ? value.toString() : QString();
    };
    QStringList argumentVector;
    for (const QVariant& value : plist.value(QStringLiteral("ProgramArguments")).toList()) {
        if (value.typeId() == QMetaType::QString)
            argumentVector << value.toString();
    }

    job.label = string("Label");
    QString program = string("BundleProgram");
    if (program.isEmpty())
        program = string("Program");
    if (program.isEmpty() && !argumentVector.isEmpty())
        program = argumentVector.constFirst();
    if (program.isEmpty())
        throw ServiceError(QStringLiteral("The launch agent %1 names no program.").arg(job.plistPath).toStdString());
    job.program = absoluteInBundle(agent.bundlePath, program);
    if (!argumentVector.isEmpty())
        job.arguments = argumentVector.mid(1);

    job.runAtLoad = plist.value(QStringLiteral("RunAtLoad")).toBool();
    const QVariant keepAlive = plist.value(QStringLiteral("KeepAlive"));
    if (keepAlive.typeId() == QMetaType::QVariantMap) {
        // Of launchd's conditions only SuccessfulExit = false has a systemd equivalent; any other
        // condition is taken as "keep it running".
        const QVariantMap conditions = keepAlive.toMap();
        const QVariant successfulExit = conditions.value(QStringLiteral("SuccessfulExit"));
        job.restartOnFailure = successfulExit.typeId() == QMetaType::Bool && !successfulExit.toBool();
        job.keepAlive = !job.restartOnFailure && !conditions.isEmpty();
    } else {
        job.keepAlive = keepAlive.typeId() == QMetaType::Bool && keepAlive.toBool();
    }
    const QVariant throttle = plist.value(QStringLiteral("ThrottleInterval"));
    if (throttle.typeId() == QMetaType::LongLong && throttle.toLongLong() >= 0 && throttle.toLongLong() <= 3600)
        job.throttle = std::chrono::seconds(throttle.toLongLong());
    return job;
}

} // namespace pylon
