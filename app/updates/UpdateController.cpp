#include "updates/UpdateController.h"

#include "foundation/VersionCompare.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QPointer>
#include <algorithm>

namespace pylon {

namespace {

// The timer runs on a clock that stands still while the machine sleeps, so a long wait is cut into
// steps after each of which the wall clock is read again.
constexpr std::chrono::milliseconds longestTimerStep = std::chrono::hours(1);

QString infoString(const Bundle& bundle, const QString& key) {
    const std::optional<QVariant> value = bundle.infoValue(key);
    return value && value->typeId() == QMetaType::QString ? value->toString().trimmed() : QString();
}

std::chrono::seconds checkIntervalFrom(const Bundle& bundle) {
    const std::optional<QVariant> value = bundle.infoValue(QStringLiteral("SUScheduledCheckInterval"));
    if (!value || (value->typeId() != QMetaType::LongLong && value->typeId() != QMetaType::Double))
        return UpdaterConfiguration::defaultCheckInterval;
    const double seconds = value->toDouble();
    return std::max(UpdaterConfiguration::minimumCheckInterval, std::chrono::seconds(qint64(std::min(seconds, 1e12))));
}

} // namespace

UpdaterConfiguration UpdaterConfiguration::fromBundle(const Bundle& bundle, const QString& appName) {
    UpdaterConfiguration configuration;
    configuration.feedUrl = QUrl(infoString(bundle, QStringLiteral("SUFeedURL")), QUrl::StrictMode);
    configuration.checkInterval = checkIntervalFrom(bundle);
    configuration.appName = appName;
    configuration.bundleVersion = infoString(bundle, QStringLiteral("CFBundleVersion"));
    if (configuration.bundleVersion.isEmpty())
        configuration.bundleVersion = QStringLiteral("0");
    configuration.shortVersionString = infoString(bundle, QStringLiteral("CFBundleShortVersionString"));
    return configuration;
}

UpdateController::UpdateController(UpdaterConfiguration configuration, UserDefaults& defaults, Workspace& workspace,
                                   UpdaterOptions options, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_defaults(defaults)
    , m_workspace(workspace)
    , m_wallClock(std::move(options.wallClock))
    , m_checker(new UpdateChecker(options.timeLimit, this)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &UpdateController::checkInBackgroundIfDue);
}

UpdateController::~UpdateController() = default;

void UpdateController::setUserDriver(std::unique_ptr<UpdateUserDriver> driver) {
    m_driver = std::move(driver);
}

void UpdateController::setAutomaticallyChecksForUpdates(bool enabled) {
    m_automaticallyChecks = enabled;
    scheduleNextCheck();
}

std::optional<QDateTime> UpdateController::lastCheckTime() const {
    const std::optional<QString> stored = m_defaults.string(lastCheckTimeKey());
    if (!stored)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(*stored, Qt::ISODateWithMs);
    return time.isValid() ? std::optional<QDateTime>(time) : std::nullopt;
}

std::optional<QString> UpdateController::skippedVersion() const {
    std::optional<QString> stored = m_defaults.string(skippedVersionKey());
    return stored && !stored->isEmpty() ? stored : std::nullopt;
}

std::optional<std::chrono::milliseconds> UpdateController::timeUntilNextAutomaticCheck() const {
    if (!m_automaticallyChecks)
        return std::nullopt;
    const std::optional<QDateTime> last = lastCheckTime();
    const QDateTime now = m_wallClock();
    // A last check in the future means the clock was set back: waiting for it could take years.
    if (!last || *last > now)
        return std::chrono::milliseconds(0);
    const std::chrono::milliseconds interval = m_configuration.checkInterval;
    return std::max(std::chrono::milliseconds(0), interval - std::chrono::milliseconds(last->msecsTo(now)));
}

void UpdateController::checkForUpdates() {
    if (m_sessionActive) {
        if (m_checking)
            m_userInitiated = true;
        return;
    }
    startSession(true);
}

bool UpdateController::checkInBackgroundIfDue() {
    if (!m_automaticallyChecks || m_sessionActive)
        return false;
    if (timeUntilNextAutomaticCheck() != std::chrono::milliseconds(0)) {
        scheduleNextCheck();
        return false;
    }
    startSession(false);
    return true;
}

void UpdateController::startSession(bool userInitiated) {
    m_timer.stop();
    m_sessionActive = true;
    m_checking = true;
    m_userInitiated = userInitiated;
    m_defaults.setString(lastCheckTimeKey(), m_wallClock().toUTC().toString(Qt::ISODateWithMs));
    emit canCheckForUpdatesChanged(false);
    runCheck();
}

QCoro::Task<> UpdateController::runCheck() {
    QPointer<UpdateController> self(this);
    const UpdateCheckResult result = co_await m_checker->check(m_configuration.feedUrl, m_configuration.bundleVersion);
    if (!self)
        co_return;
    m_checking = false;
    const bool userInitiated = m_userInitiated;
    present(result, userInitiated);
    if (self)
        emit checkFinished(result, userInitiated);
}

bool UpdateController::isQuietlySkipped(const AppcastItem& item) const {
    const std::optional<QString> skipped = skippedVersion();
    return skipped && compareVersionsNumerically(item.version, *skipped) <= 0;
}

void UpdateController::present(const UpdateCheckResult& result, bool userInitiated) {
    QPointer<UpdateController> self(this);
    auto done = [self] {
        if (self)
            self->endSession();
    };
    switch (result.kind) {
    case UpdateCheckResult::Kind::updateAvailable:
        if (m_driver && (userInitiated || !isQuietlySkipped(*result.item))) {
            showUpdate(UpdateFound{*result.item, m_configuration.appName, m_configuration.displayVersion(),
                                   m_configuration.bundleVersion, userInitiated});
            return;
        }
        break;
    case UpdateCheckResult::Kind::upToDate:
        if (m_driver && userInitiated) {
            m_driver->showUpToDate(m_configuration.appName, m_configuration.displayVersion(), done);
            return;
        }
        break;
    case UpdateCheckResult::Kind::failed:
        if (m_driver && userInitiated) {
            m_driver->showUpdateError(result.error, done);
            return;
        }
        break;
    }
    endSession();
}

void UpdateController::showUpdate(const UpdateFound& found) {
    QPointer<UpdateController> self(this);
    m_driver->showUpdateFound(found, [self, found](UpdateChoice choice) {
        if (self)
            self->act(found, choice);
    });
}

void UpdateController::act(const UpdateFound& found, UpdateChoice choice) {
    switch (choice) {
    case UpdateChoice::download:
        m_workspace.openUrl(found.item.downloadUrl());
        break;
    case UpdateChoice::skipThisVersion:
        m_defaults.setString(skippedVersionKey(), found.item.version);
        m_defaults.synchronize();
        break;
    case UpdateChoice::remindMeLater:
        break;
    case UpdateChoice::showReleaseNotes:
        if (found.item.releaseNotesLink.isValid())
            m_workspace.openUrl(found.item.releaseNotesLink);
        if (m_driver) {
            showUpdate(found);
            return;
        }
        break;
    }
    endSession();
}

void UpdateController::endSession() {
    if (!m_sessionActive)
        return;
    m_sessionActive = false;
    m_defaults.synchronize();
    emit canCheckForUpdatesChanged(true);
    scheduleNextCheck();
}

void UpdateController::scheduleNextCheck() {
    m_timer.stop();
    if (m_sessionActive)
        return;
    const std::optional<std::chrono::milliseconds> wait = timeUntilNextAutomaticCheck();
    if (wait)
        m_timer.start(std::min(*wait, longestTimerStep));
}

} // namespace pylon
