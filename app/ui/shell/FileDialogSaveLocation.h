#pragma once

#include "diagnostics/ReportSaveLocation.h"

#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace pylon::ui {

// The save panel of the diagnostic report: a file dialog proposing the archive's name in the
// user's Desktop (or home) folder, ZIP only. The dialog is window-modal and opened without a nested
// event loop, so polling goes on while it is open.
class FileDialogSaveLocation final : public ReportSaveLocation {
public:
    // When set, no dialog is shown: the hook gets the suggested path and answers (tests).
    static std::function<std::optional<QString>(const QString& suggestedPath)> nextAnswer;

    explicit FileDialogSaveLocation(QWidget* parent);
    QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace pylon::ui
