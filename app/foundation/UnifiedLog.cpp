#include "foundation/UnifiedLog.h"

namespace pylon {

UnifiedLog::UnifiedLog(const QString& subsystem, const QString& category)
    : m_name((subsystem + QLatin1Char('.') + category).toUtf8())
    , m_category(m_name.constData(), QtInfoMsg) {}

void UnifiedLog::send(LogLevel level, const QString& message) const {
    // The message is an argument, never a format string.
    switch (level) {
    case LogLevel::error:
    case LogLevel::warning:
        qCCritical(m_category, "%s", qUtf8Printable(message));
        break;
    case LogLevel::info:
        qCInfo(m_category, "%s", qUtf8Printable(message));
        break;
    case LogLevel::debug:
        qCDebug(m_category, "%s", qUtf8Printable(message));
        break;
    }
}

} // namespace pylon
