#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace pylon::test {

// One entry of the changes EnableUnitFiles and DisableUnitFiles report: (type, file, destination).
struct UnitFileChange {
    QString type;
    QString file;
    QString destination;
};
using UnitFileChanges = QList<UnitFileChange>;

// Stands in for systemd's user manager on a (private) session bus: the methods of
// org.freedesktop.systemd1.Manager that Pylon calls, with unit files read from a real folder, and
// the signals systemd sends to its subscribers only: UnitFilesChanged after enabling or disabling,
// PropertiesChanged of a unit's object when its ActiveState changes. Each call is recorded as
// "<Method> <arguments…>". It runs on a bus connection of its own, so a client in the same process
// talks to it through the bus daemon like to the real manager.
class FakeSystemdManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
public:
    // `unitFolder` is where the user's unit files are (`<config home>/systemd/user`).
    explicit FakeSystemdManager(QString unitFolder, QObject* parent = nullptr);
    ~FakeSystemdManager() override;

    // Connects to the session bus and takes org.freedesktop.systemd1; the reason when it cannot.
    QString publish();
    // Leaves the bus, as a manager that stops.
    void unpublish();

    // Sends the signals as systemd does: only while someone has subscribed.
    void sendUnitFilesChanged();
    void sendUnitProperties(const QString& unit, const QVariantMap& changed, const QStringList& invalidated = {},
                            const QString& interface = QStringLiteral("org.freedesktop.systemd1.Unit"));
    bool hasSubscribers() const { return !m_subscribers.isEmpty(); }

    // The object path systemd gives the unit `unit`.
    static QString unitPath(const QString& unit);

    QStringList calls;
    // Method name → (error name, message): the method answers with this error.
    QMap<QString, std::pair<QString, QString>> failures;
    QSet<QString> enabledUnits;
    QMap<QString, QString> activeStates; // of the units that were started

public slots:
    QString GetUnitFileState(const QString& unit);
    bool EnableUnitFiles(const QStringList& files, bool runtime, bool force, pylon::test::UnitFileChanges& changes);
    pylon::test::UnitFileChanges DisableUnitFiles(const QStringList& files, bool runtime);
    void Reload();
    QDBusObjectPath StartUnit(const QString& unit, const QString& mode);
    QDBusObjectPath RestartUnit(const QString& unit, const QString& mode);
    QDBusObjectPath StopUnit(const QString& unit, const QString& mode);
    void Subscribe();

private:
    // Records the call; true when it is to fail, the error then being sent.
    bool record(const QString& method, const QStringList& arguments);
    bool unitFileExists(const QString& unit) const;
    QDBusObjectPath runJob(const QString& unit, const QString& activeState);

    QString m_unitFolder;
    QString m_connectionName;
    QSet<QString> m_subscribers;
    int m_jobs = 0;
};

} // namespace pylon::test

Q_DECLARE_METATYPE(pylon::test::UnitFileChange)
Q_DECLARE_METATYPE(pylon::test::UnitFileChanges)
