#include "ui/onboarding/OnboardingStore.h"

#include "platform/UserDefaults.h"

#include <QTimeZone>

namespace pylon::ui {

OnboardingStore::OnboardingStore(UserDefaults& defaults, const FileLogger& log, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_log(log)
    , m_now([] { return QDateTime::currentDateTimeUtc(); }) {
    const std::optional<QString> stored = m_defaults.string(acceptedEulaVersionKey);
    const bool complete = stored == currentEulaVersion;
    m_log.info(QStringLiteral("Onboarding: init (stored='") + stored.value_or(QStringLiteral("nil")) +
               QStringLiteral("', complete=") + (complete ? QStringLiteral("true") : QStringLiteral("false")) +
               QStringLiteral(")"));
}

QString OnboardingStore::acceptedEulaVersion() const {
    return m_defaults.string(acceptedEulaVersionKey).value_or(QString());
}

void OnboardingStore::setAcceptedEulaVersion(const QString& version) {
    m_defaults.setString(acceptedEulaVersionKey, version);
}

QString OnboardingStore::acceptedAt() const {
    return m_defaults.string(acceptedAtKey).value_or(QString());
}

void OnboardingStore::setAcceptedAt(const QString& timestamp) {
    m_defaults.setString(acceptedAtKey, timestamp);
}

bool OnboardingStore::applyLaunchArguments(const QStringList& arguments) {
    if (!arguments.contains(resetArgument))
        return false;
    m_defaults.remove(acceptedEulaVersionKey);
    m_defaults.remove(acceptedAtKey);
    m_defaults.synchronize();
    m_log.info(QStringLiteral("Onboarding: reset via -resetOnboarding flag"));
    emit changed();
    return true;
}

void OnboardingStore::completeOnboarding() {
    setAcceptedEulaVersion(currentEulaVersion);
    setAcceptedAt(internetDateTime(m_now()));
    m_defaults.synchronize();
    emit changed();
    m_log.info(QStringLiteral("Onboarding: completed (EULA v") + currentEulaVersion + QStringLiteral(")"));
}

QString OnboardingStore::internetDateTime(const QDateTime& time) {
    return time.toTimeZone(QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QLatin1Char('Z');
}

} // namespace pylon::ui
