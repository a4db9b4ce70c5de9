#pragma once

#include "updates/UpdateUserDriver.h"
#include "ui/common/Alerts.h"

#include <QPointer>
#include <QWidget>

namespace pylon::ui {

// What the update dialogs say. The found-update dialog's buttons are "Download", "Skip This Version",
// "Remind Me Later" (also Escape) and, when the release has notes, "Release Notes".
AlertContent upToDateAlert(const QString& appName, const QString& currentVersion);
AlertContent updateFoundAlert(const UpdateFound& found);
AlertContent updateErrorAlert(const QString& error);

// The choice behind button `index` of updateFoundAlert(found); an unknown index reminds later.
UpdateChoice updateChoiceForButton(const UpdateFound& found, int index);

// The update checker's dialogs as message boxes, shown through Alerts (so tests answer them through
// its hook). Nothing blocks: each answer arrives once its box is dismissed.
class UpdateDialogs final : public UpdateUserDriver {
public:
    explicit UpdateDialogs(QWidget* parent = nullptr);

    void showUpdateFound(const UpdateFound& found, std::function<void(UpdateChoice)> reply) override;
    void showUpToDate(const QString& appName, const QString& currentVersion, std::function<void()> done) override;
    void showUpdateError(const QString& error, std::function<void()> done) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace pylon::ui
