#pragma once

#include "diagnostics/ReportSaveLocation.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace pylon::ui {

// The save panel of the diagnostic report: a file dialog proposing the archive's name in the
// user's Desktop (or home) folder, ZIP only. The dialog is application-modal and opened without a
// nested event loop, so polling goes on while it is open.
class FileDialogSaveLocation final : public ReportSaveLocation {
public:
    // When set, no dialog is shown: the hook gets the suggested path and answers (tests).
    static std::function<std::optional<QString>(const QString& suggestedPath)> nextAnswer;

    // The dialog is centred over `parent`'s window.
    explicit FileDialogSaveLocation(QWidget* parent);
    // The archive's proposed path: `suggestedFileName` in the Desktop folder, else in the home folder.
    static QString suggestedPath(const QString& suggestedFileName);
    QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace pylon::ui
