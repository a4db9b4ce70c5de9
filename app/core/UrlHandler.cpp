#include "core/UrlHandler.h"

#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"

#include <QRegularExpression>
#include <QUrl>
#include <optional>

namespace pylon {

namespace {

// QUrl lower-cases schemes and hosts; the decision is made on the text as it was written, so
// "PYLON://uninstall" and "pylon://UNINSTALL" do not count.
struct RawParts {
    QString scheme;
    std::optional<QString> host;
};

RawParts rawParts(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^([A-Za-z][A-Za-z0-9+.\-]*):(//([^/?#]*))?)"));
    const QRegularExpressionMatch match = pattern.match(text);
    RawParts parts;
    if (!match.hasMatch())
        return parts;
    parts.scheme = match.captured(1);
    if (match.capturedStart(2) >= 0) {
        QString authority = match.captured(3);
        authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
        static const QRegularExpression port(QStringLiteral(R"(:\d*$)"));
        if (!authority.startsWith(QLatin1Char('[')))
            authority.remove(port);
        parts.host = authority;
    }
    return parts;
}

} // namespace

void handleURL(const QString& text, const BuildEnvironment& environment, const FileLogger& log,
               const std::function<void()>& showUninstallConfirmation) {
    if (text.isEmpty())
        return;
    if (!QUrl(text, QUrl::StrictMode).isValid())
        return;
    log.info(QStringLiteral("Received URL: ") + text);
    const RawParts parts = rawParts(text);
    if (parts.scheme != environment.urlScheme()) {
        log.info(QStringLiteral("Ignoring URL (scheme %1 doesn't match mode)")
                     .arg(parts.scheme.isEmpty() ? QStringLiteral("nil") : parts.scheme));
        return;
    }
    if (parts.host == QLatin1String("uninstall")) {
        log.info(QStringLiteral("Uninstall requested via URL scheme"));
        showUninstallConfirmation();
    }
}

} // namespace pylon
