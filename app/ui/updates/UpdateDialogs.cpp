#include "ui/updates/UpdateDialogs.h"

#include <QMessageBox>

namespace pylon::ui {

namespace {

enum FoundButton { downloadButton, skipButton, laterButton, notesButton };

} // namespace

AlertContent upToDateAlert(const QString& appName, const QString& currentVersion) {
    return {QStringLiteral("You're up to date"),
            QStringLiteral("%1 %2 is currently the newest version available.").arg(appName, currentVersion),
            {{QStringLiteral("OK"), true}},
            false};
}

AlertContent updateFoundAlert(const UpdateFound& found) {
    QString newVersion = found.item.displayVersionString();
    QString currentVersion = found.currentVersion;
    // Two builds of one release read alike; their build versions tell them apart.
    if (newVersion == currentVersion) {
        newVersion += QStringLiteral(" (%1)").arg(found.item.version);
        currentVersion += QStringLiteral(" (%1)").arg(found.currentBuildVersion);
    }
    QString message = QStringLiteral("%1 %2 is now available\u2014you have %3. Would you like to download it now?")
                          .arg(found.appName, newVersion, currentVersion);
    QList<AlertButton> buttons = {{QStringLiteral("Download"), false},
                                  {QStringLiteral("Skip This Version"), false},
                                  {QStringLiteral("Remind Me Later"), true}};
    if (found.item.releaseNotesLink.isValid()) {
        message += QStringLiteral("\n\nRelease notes: ") + found.item.releaseNotesLink.toString();
        buttons.append({QStringLiteral("Release Notes"), false});
    }
    return {QStringLiteral("A new version of %1 is available!").arg(found.appName), message, buttons, false};
}

AlertContent updateErrorAlert(const QString& error) {
    return {QStringLiteral("Update Error!"),
            QStringLiteral("An error occurred in retrieving update information. Please try again later.\n\n") + error,
            {{QStringLiteral("OK"), true}},
            true};
}

UpdateChoice updateChoiceForButton(const UpdateFound& found, int index) {
    switch (index) {
    case downloadButton:
        return UpdateChoice::download;
    case skipButton:
        return UpdateChoice::skipThisVersion;
    case notesButton:
        return found.item.releaseNotesLink.isValid() ? UpdateChoice::showReleaseNotes : UpdateChoice::remindMeLater;
    default:
        return UpdateChoice::remindMeLater;
    }
}

UpdateDialogs::UpdateDialogs(QWidget* parent)
    : m_parent(parent) {}

void UpdateDialogs::showUpdateFound(const UpdateFound& found, std::function<void(UpdateChoice)> reply) {
    Alerts::present(
        updateFoundAlert(found), [found, reply](int index) { reply(updateChoiceForButton(found, index)); }, m_parent);
}

void UpdateDialogs::showUpToDate(const QString& appName, const QString& currentVersion, std::function<void()> done) {
    Alerts::present(
        upToDateAlert(appName, currentVersion), [done](int) { done(); }, m_parent);
}

void UpdateDialogs::showUpdateError(const QString& error, std::function<void()> done) {
    Alerts::present(
        updateErrorAlert(error), [done](int) { done(); }, m_parent);
}

} // namespace pylon::ui
