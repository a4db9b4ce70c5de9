#pragma once

#include "updates/UpdateChecker.h"
#include "updates/UpdateUserDriver.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace pylon {

class Bundle;
class UserDefaults;
class Workspace;

// The updater's settings from the application's Info.plist.
struct UpdaterConfiguration {
    static constexpr std::chrono::seconds defaultCheckInterval{86400};
    // Shorter intervals in Info.plist are raised to this, so a slip cannot flood the update server.
    static constexpr std::chrono::seconds minimumCheckInterval{3600};

    QUrl feedUrl;                                              // SUFeedURL; empty when Info.plist names none
    std::chrono::seconds checkInterval = defaultCheckInterval; // SUScheduledCheckInterval
    QString appName;
    QString bundleVersion;      // CFBundleVersion, compared with each item's version
    QString shortVersionString; // CFBundleShortVersionString, the version people are shown

    QString displayVersion() const { return shortVersionString.isEmpty() ? bundleVersion : shortVersionString; }

    static UpdaterConfiguration fromBundle(const Bundle& bundle, const QString& appName);
};

// Wall-clock time: the last check time outlives the process, so it cannot come from a steady clock.
using WallClock = std::function<QDateTime()>;

// What tests replace: the wall clock and the time limit of a feed fetch.
struct UpdaterOptions {
    WallClock wallClock = [] { return QDateTime::currentDateTimeUtc(); };
    std::chrono::milliseconds timeLimit = UpdateChecker::defaultTimeLimit;
};

// Checks the update feed when the user asks and, once switched on, on a schedule of at most one
// check per interval, remembered across runs. It never downloads anything by itself: a found update
// is shown through the user driver, and "Download" opens the release in the browser.
//
// Automatic checks stay quiet unless they find an update that was not skipped; a check the user asks
// for shows every outcome, a skipped version included. Every check, either kind, counts as the last
// check. Everything runs on the main thread; fetches are awaited, never waited for.
class UpdateController : public QObject {
    Q_OBJECT
public:
    static QString lastCheckTimeKey() { return QStringLiteral("SULastCheckTime"); }
    static QString skippedVersionKey() { return QStringLiteral("SUSkippedVersion"); }

    // Starts with automatic checks off: nothing is fetched until checkForUpdates() or until automatic
    // checks are switched on.
    UpdateController(UpdaterConfiguration configuration, UserDefaults& defaults, Workspace& workspace,
                     UpdaterOptions options = {}, QObject* parent = nullptr);
    ~UpdateController() override;

    // Where results are shown; without one, checks still run and record their time but show nothing.
    void setUserDriver(std::unique_ptr<UpdateUserDriver> driver);

    const UpdaterConfiguration& configuration() const { return m_configuration; }
    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks; }
    // Switching on schedules the next check: at once when the last one is an interval old or unknown.
    // Switching on again changes nothing.
    void setAutomaticallyChecksForUpdates(bool enabled);

    std::optional<QDateTime> lastCheckTime() const;
    std::optional<QString> skippedVersion() const;
    // Until the next automatic check is due (zero when due); nothing while automatic checks are off.
    std::optional<std::chrono::milliseconds> timeUntilNextAutomaticCheck() const;
    // False from the start of a check until its dialog is dismissed.
    bool canCheckForUpdates() const { return !m_sessionActive; }

public slots:
    // The "Check for Updates…" entry. While a check runs, its outcome is shown as if asked for.
    void checkForUpdates();
    // Starts an automatic check when automatic checks are on, no check is under way and the interval
    // has passed; otherwise schedules the next look. True when a check started. The schedule's timer
    // calls this; so may anyone who knows the wall clock jumped.
    bool checkInBackgroundIfDue();

signals:
    void canCheckForUpdatesChanged(bool canCheck);
    // After each check, once its outcome has been handed to the user driver (or left unshown).
    void checkFinished(const pylon::UpdateCheckResult& result, bool userInitiated);

private:
    void startSession(bool userInitiated);
    QCoro::Task<> runCheck();
    void present(const UpdateCheckResult& result, bool userInitiated);
    void showUpdate(const UpdateFound& found);
    void act(const UpdateFound& found, UpdateChoice choice);
    void endSession();
    void scheduleNextCheck();
    bool isQuietlySkipped(const AppcastItem& item) const;

    UpdaterConfiguration m_configuration;
    UserDefaults& m_defaults;
    Workspace& m_workspace;
    WallClock m_wallClock;
    UpdateChecker* m_checker;
    std::unique_ptr<UpdateUserDriver> m_driver;
    QTimer m_timer;
    bool m_automaticallyChecks = false;
    bool m_sessionActive = false;
    bool m_checking = false;
    bool m_userInitiated = false;
};

} // namespace pylon
