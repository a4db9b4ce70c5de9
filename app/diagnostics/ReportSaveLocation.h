#pragma once

#include <QString>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

// Where a finished diagnostic report is saved. In the application this asks the user with a save
// dialog (proposed name = the suggested one, ZIP archives only, creating folders allowed, message
// "Save diagnostic report"); on the command line it is the path the user gave.
class ReportSaveLocation {
public:
    virtual ~ReportSaveLocation() = default;
    // The chosen file path, or nothing when the user cancelled.
    virtual QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) = 0;
};

// A location fixed in advance. A path naming an existing folder means the suggested file name
// inside that folder; any other path is the file itself.
class PathReportSaveLocation final : public ReportSaveLocation {
public:
    explicit PathReportSaveLocation(QString path)
        : m_path(std::move(path)) {}
    QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) override;
    // The answer without the coroutine.
    QString resolve(const QString& suggestedFileName) const;

private:
    QString m_path;
};

} // namespace pylon
