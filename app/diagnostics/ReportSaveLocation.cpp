#include "diagnostics/ReportSaveLocation.h"

#include <QDir>
#include <QFileInfo>

namespace pylon {

QCoro::Task<std::optional<QString>> PathReportSaveLocation::chooseLocation(QString suggestedFileName) {
    co_return resolve(suggestedFileName);
}

QString PathReportSaveLocation::resolve(const QString& suggestedFileName) const {
    const QFileInfo info(m_path);
    if (info.isDir())
        return QDir(info.absoluteFilePath()).filePath(suggestedFileName);
    return info.absoluteFilePath();
}

} // namespace pylon
