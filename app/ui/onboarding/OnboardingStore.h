#pragma once

#include "foundation/FileLogger.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace pylon {
class UserDefaults;
}

namespace pylon::ui {

// Remembers which licence agreement the user accepted, and when. Both values live in the user's
// defaults and are read and written through on every access; onboarding counts as complete exactly
// while the accepted version is currentEulaVersion. One instance lives as long as the application.
class OnboardingStore : public QObject {
    Q_OBJECT
public:
    static inline const QString currentEulaVersion = QStringLiteral("1.2");
    static inline const QString acceptedEulaVersionKey = QStringLiteral("pylon.onboarding.acceptedEulaVersion");
    static inline const QString acceptedAtKey = QStringLiteral("pylon.onboarding.acceptedAt");
    static inline const QString resetArgument = QStringLiteral("-resetOnboarding");

    // Logs what it finds stored ("Onboarding: init (...)"). It does not look at the launch
    // arguments; the application passes them to applyLaunchArguments() right after construction.
    OnboardingStore(UserDefaults& defaults, const FileLogger& log, QObject* parent = nullptr);

    // The stored values, "" when never written.
    QString acceptedEulaVersion() const;
    void setAcceptedEulaVersion(const QString& version);
    QString acceptedAt() const;
    void setAcceptedAt(const QString& timestamp);

    bool isComplete() const { return acceptedEulaVersion() == currentEulaVersion; }

    // With the exact argument "-resetOnboarding" among `arguments`: forgets both values, logs the
    // reset and announces the change. Returns whether it reset.
    bool applyLaunchArguments(const QStringList& arguments);

    // Records acceptance of currentEulaVersion now, announces the change and logs it.
    void completeOnboarding();

    // Where completeOnboarding() takes "now" from (the system clock in UTC unless a test says otherwise).
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    // "2025-03-04T09:15:02Z": UTC, whole seconds.
    static QString internetDateTime(const QDateTime& time);

signals:
    // Acceptance was recorded or forgotten. Plain setter calls do not announce.
    void changed();

private:
    UserDefaults& m_defaults;
    const FileLogger& m_log;
    std::function<QDateTime()> m_now;
};

} // namespace pylon::ui
