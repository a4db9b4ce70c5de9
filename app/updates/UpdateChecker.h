#pragma once

#include "updates/AppcastFeed.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

class QNetworkAccessManager;

namespace pylon {

// What one look at the update feed found.
struct UpdateCheckResult {
    enum class Kind {
        upToDate,        // no item for this system is newer than the running build
        updateAvailable, // `item` is the newest item and newer than the running build
        failed,          // the feed could not be fetched or read; `error` says why
    };

    Kind kind = Kind::upToDate;
    std::optional<AppcastItem> item;
    QString error;

    static UpdateCheckResult upToDate() { return {}; }
    static UpdateCheckResult updateAvailable(AppcastItem item) { return {Kind::updateAvailable, std::move(item), {}}; }
    static UpdateCheckResult failed(QString error) { return {Kind::failed, std::nullopt, std::move(error)}; }

    bool operator==(const UpdateCheckResult&) const = default;
};

// Fetches an update feed over HTTP and compares its newest item with the running build. One
// session for every check, keeping no cookies and no cache; no fetch lasts longer than the time limit,
// whether the server stalls or trickles. Nothing here throws to the caller.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{15000};

    explicit UpdateChecker(std::chrono::milliseconds timeLimit = defaultTimeLimit, QObject* parent = nullptr);
    ~UpdateChecker() override;

    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }

    // Fetches `feedUrl` (http or https only) and evaluates it against `currentVersion`.
    QCoro::Task<UpdateCheckResult> check(QUrl feedUrl, QString currentVersion);

    // The newest item of the feed `xml` for this system when it is numerically newer than
    // `currentVersion`; a feed that cannot be read is a failure with its description.
    static UpdateCheckResult evaluate(const QByteArray& xml, const QString& currentVersion);

private:
    std::chrono::milliseconds m_timeLimit;
    QNetworkAccessManager* m_session;
};

} // namespace pylon

Q_DECLARE_METATYPE(pylon::UpdateCheckResult)
