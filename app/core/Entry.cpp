#include "core/Entry.h"

#include "platform/SystemInfo.h"

#include <QFileInfo>

namespace pylon::entry {

QString siblingProgram(const char* name) {
    return QFileInfo(SystemInfo::currentExecutablePath()).absolutePath() + QLatin1Char('/') + QString::fromUtf8(name);
}

} // namespace pylon::entry
