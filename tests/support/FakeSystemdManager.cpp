#include "FakeSystemdManager.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFile>
#include <QFileInfo>
#include <cctype>

namespace pylon::test {

QDBusArgument& operator<<(QDBusArgument& argument, const UnitFileChange& change) {
    argument.beginStructure();
    argument << change.type << change.file << change.destination;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, UnitFileChange& change) {
    argument.beginStructure();
    argument >> change.type >> change.file >> change.destination;
    argument.endStructure();
    return argument;
}

namespace {

const QString systemdName = QStringLiteral("org.freedesktop.systemd1");
const QString managerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString managerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");

} // namespace

FakeSystemdManager::FakeSystemdManager(QString unitFolder, QObject* parent)
    : QObject(parent)
    , m_unitFolder(std::move(unitFolder))
    , m_connectionName(QStringLiteral("fake-systemd-%1").arg(quintptr(this))) {
    qDBusRegisterMetaType<UnitFileChange>();
    qDBusRegisterMetaType<UnitFileChanges>();
}

FakeSystemdManager::~FakeSystemdManager() {
    unpublish();
}

QString FakeSystemdManager::publish() {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    if (!bus.isConnected())
        return QStringLiteral("no session bus: ") + bus.lastError().message();
    if (bus.interface()->isServiceRegistered(systemdName))
        return QStringLiteral("org.freedesktop.systemd1 is on this bus already: not a private bus");
    if (!bus.registerObject(managerPath, this, QDBusConnection::ExportAllSlots))
        return QStringLiteral("cannot register the manager object");
    if (!bus.registerService(systemdName))
        return QStringLiteral("cannot take the name: ") + bus.lastError().message();
    return {};
}

void FakeSystemdManager::unpublish() {
    QDBusConnection bus(m_connectionName);
    if (!bus.isConnected())
        return;
    bus.unregisterService(systemdName);
    bus.unregisterObject(managerPath);
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_subscribers.clear();
}

QString FakeSystemdManager::unitPath(const QString& unit) {
    QString path = QStringLiteral("/org/freedesktop/systemd1/unit/");
    const QByteArray name = unit.toUtf8();
    for (qsizetype i = 0; i < name.size(); ++i) {
        const uchar c = uchar(name[i]);
        if (std::isalpha(c) || (i > 0 && std::isdigit(c)))
            path += QChar(c);
        else
            path += QLatin1Char('_') + QString::number(c, 16).rightJustified(2, QLatin1Char('0'));
    }
    return name.isEmpty() ? path + QLatin1Char('_') : path;
}

void FakeSystemdManager::sendUnitFilesChanged() {
    if (hasSubscribers())
        QDBusConnection(m_connectionName)
            .send(QDBusMessage::createSignal(managerPath, managerInterface, QStringLiteral("UnitFilesChanged")));
}

void FakeSystemdManager::sendUnitProperties(const QString& unit, const QVariantMap& changed,
                                            const QStringList& invalidated, const QString& interface) {
    if (!hasSubscribers())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(unitPath(unit), QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << invalidated;
    QDBusConnection(m_connectionName).send(signal);
}

bool FakeSystemdManager::record(const QString& method, const QStringList& arguments) {
    calls << QStringList{method, arguments.join(QLatin1Char(' '))}.join(QLatin1Char(' ')).trimmed();
    const auto failure = failures.constFind(method);
    if (failure == failures.constEnd())
        return false;
    sendErrorReply(failure->first, failure->second);
    return true;
}

bool FakeSystemdManager::unitFileExists(const QString& unit) const {
    return QFileInfo(m_unitFolder + QLatin1Char('/') + unit).isFile();
}

QString FakeSystemdManager::GetUnitFileState(const QString& unit) {
    if (record(QStringLiteral("GetUnitFileState"), {unit}))
        return {};
    QFile file(m_unitFolder + QLatin1Char('/') + unit);
    if (!file.open(QIODevice::ReadOnly)) {
        sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"),
                       QStringLiteral("No such file or directory"));
        return {};
    }
    if (enabledUnits.contains(unit))
        return QStringLiteral("enabled");
    return file.readAll().contains("[Install]") ? QStringLiteral("disabled") : QStringLiteral("static");
}

bool FakeSystemdManager::EnableUnitFiles(const QStringList& files, bool runtime, bool force, UnitFileChanges& changes) {
    if (record(QStringLiteral("EnableUnitFiles"),
               {files.join(QLatin1Char(',')), runtime ? QStringLiteral("true") : QStringLiteral("false"),
                force ? QStringLiteral("true") : QStringLiteral("false")}))
        return false;
    for (const QString& unit : files) {
        if (!unitFileExists(unit)) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.FileNotFound"),
                           QStringLiteral("Unit file %1 does not exist.").arg(unit));
            return false;
        }
    }
    for (const QString& unit : files) {
        enabledUnits.insert(unit);
        changes << UnitFileChange{QStringLiteral("symlink"),
                                  m_unitFolder + QStringLiteral("/graphical-session.target.wants/") + unit,
                                  m_unitFolder + QLatin1Char('/') + unit};
    }
    sendUnitFilesChanged();
    return true;
}

UnitFileChanges FakeSystemdManager::DisableUnitFiles(const QStringList& files, bool runtime) {
    if (record(QStringLiteral("DisableUnitFiles"),
               {files.join(QLatin1Char(',')), runtime ? QStringLiteral("true") : QStringLiteral("false")}))
        return {};
    UnitFileChanges changes;
    for (const QString& unit : files) {
        if (enabledUnits.remove(unit))
            changes << UnitFileChange{
                QStringLiteral("unlink"), m_unitFolder + QStringLiteral("/graphical-session.target.wants/") + unit, {}};
    }
    sendUnitFilesChanged();
    return changes;
}

void FakeSystemdManager::Reload() {
    record(QStringLiteral("Reload"), {});
}

QDBusObjectPath FakeSystemdManager::runJob(const QString& unit, const QString& activeState) {
    activeStates[unit] = activeState;
    sendUnitProperties(unit, {{QStringLiteral("ActiveState"), activeState}});
    return QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/%1").arg(++m_jobs));
}

QDBusObjectPath FakeSystemdManager::StartUnit(const QString& unit, const QString& mode) {
    if (record(QStringLiteral("StartUnit"), {unit, mode}))
        return {};
    if (!unitFileExists(unit)) {
        sendErrorReply(QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
                       QStringLiteral("Unit %1 not found.").arg(unit));
        return {};
    }
    return runJob(unit, QStringLiteral("active"));
}

QDBusObjectPath FakeSystemdManager::RestartUnit(const QString& unit, const QString& mode) {
    if (record(QStringLiteral("RestartUnit"), {unit, mode}))
        return {};
    if (!unitFileExists(unit)) {
        sendErrorReply(QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
                       QStringLiteral("Unit %1 not found.").arg(unit));
        return {};
    }
    return runJob(unit, QStringLiteral("active"));
}

QDBusObjectPath FakeSystemdManager::StopUnit(const QString& unit, const QString& mode) {
    if (record(QStringLiteral("StopUnit"), {unit, mode}))
        return {};
    if (!activeStates.contains(unit)) {
        sendErrorReply(QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
                       QStringLiteral("Unit %1 not loaded.").arg(unit));
        return {};
    }
    return runJob(unit, QStringLiteral("inactive"));
}

void FakeSystemdManager::Subscribe() {
    if (record(QStringLiteral("Subscribe"), {}))
        return;
    if (m_subscribers.contains(message().service())) {
        sendErrorReply(QStringLiteral("org.freedesktop.systemd1.AlreadySubscribed"),
                       QStringLiteral("Client is already subscribed."));
        return;
    }
    m_subscribers.insert(message().service());
}

} // namespace pylon::test
