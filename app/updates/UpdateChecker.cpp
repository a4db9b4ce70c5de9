#include "updates/UpdateChecker.h"

#include "foundation/VersionCompare.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <qcoro/qcoronetworkreply.h>

namespace pylon {

namespace {

QString limitText(std::chrono::milliseconds limit) {
    return QString::number(double(limit.count()) / 1000.0);
}

bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

} // namespace

UpdateChecker::UpdateChecker(std::chrono::milliseconds timeLimit, QObject* parent)
    : QObject(parent)
    , m_timeLimit(timeLimit)
    , m_session(new QNetworkAccessManager(this)) {
    m_session->setCache(nullptr);
    m_session->setTransferTimeout(int(m_timeLimit.count()));
}

UpdateChecker::~UpdateChecker() = default;

UpdateCheckResult UpdateChecker::evaluate(const QByteArray& xml, const QString& currentVersion) {
    try {
        const std::optional<AppcastItem> newest = AppcastFeed::parse(xml).newestItem();
        if (newest && compareVersionsNumerically(newest->version, currentVersion) > 0)
            return UpdateCheckResult::updateAvailable(*newest);
        return UpdateCheckResult::upToDate();
    } catch (const AppcastError& e) {
        return UpdateCheckResult::failed(e.description());
    }
}

QCoro::Task<UpdateCheckResult> UpdateChecker::check(QUrl feedUrl, QString currentVersion) {
    if (feedUrl.isEmpty())
        co_return UpdateCheckResult::failed(QStringLiteral("No update feed address is set for this application."));
    if (!isWebAddress(feedUrl)) {
        co_return UpdateCheckResult::failed(
            QStringLiteral("The update feed address \u201c%1\u201d is not a web address.").arg(feedUrl.toString()));
    }

    QNetworkRequest request(feedUrl);
    // A stale copy would hide a release: always ask the server, and keep nothing.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(int(m_timeLimit.count()));

    QNetworkReply* reply = m_session->get(request);
    QPointer<QNetworkReply> guard(reply);
    // The transfer timeout only catches a stalled exchange; this bounds a trickling one too.
    auto timedOut = std::make_shared<bool>(false);
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    QTimer::singleShot(m_timeLimit, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    co_await reply;
    if (!guard)
        co_return UpdateCheckResult::failed(QStringLiteral("The update check was abandoned."));
    reply->deleteLater();

    const QNetworkReply::NetworkError error = reply->error();
    if (*timedOut || error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        co_return UpdateCheckResult::failed(
            QStringLiteral("The update feed did not answer within %1 seconds.").arg(limitText(m_timeLimit)));
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        co_return UpdateCheckResult::failed(
            QStringLiteral("The update feed answered with HTTP status %1.").arg(status.toInt()));
    }
    if (error != QNetworkReply::NoError || !status.isValid()) {
        co_return UpdateCheckResult::failed(
            QStringLiteral("The update feed could not be fetched: %1").arg(reply->errorString()));
    }
    co_return evaluate(reply->readAll(), currentVersion);
}

} // namespace pylon
