#include "platform/mac/MacWording.h"

namespace pylon {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString settingsPath(const QString& pane) {
    return QStringLiteral("open System Settings \u2192 Privacy and Security \u2192 ") + pane;
}

} // namespace

QString MacWording::thisComputer() const {
    return QStringLiteral("this Mac");
}

QString MacWording::automationDescription() const {
    return QStringLiteral("Pylon uses Automation to communicate with Ableton Live\n"
                          "so it can show you the name of the open Live Set.");
}

QList<GuidanceLine> MacWording::automationInstructions(const QString& appDisplayName) const {
    return {
        {QStringLiteral("You should be prompted to grant permissions. Click Allow to grant ") + quoted(appDisplayName) +
             QStringLiteral(" access to System Events."),
         false},
        {QStringLiteral("If you're not prompted by Mac OS, ") + settingsPath(QStringLiteral("Automation")) +
             QStringLiteral(" and turn on ") + quoted(appDisplayName) + QLatin1Char('.'),
         true},
    };
}

QString MacWording::accessibilityDescription() const {
    return QStringLiteral("Pylon uses Accessibility features to save your Live Set from your iPhone.");
}

QList<GuidanceLine> MacWording::accessibilityInstructions(const QString& companionDisplayName) const {
    return {
        {QStringLiteral("If you're not prompted by Mac OS, ") + settingsPath(QStringLiteral("Accessibility")) +
             QStringLiteral(" and turn on ") + quoted(companionDisplayName) + QLatin1Char('.'),
         false},
    };
}

QString MacWording::accessibilityMissingHelp(const QString&) const {
    return {};
}

BackgroundPresence MacWording::backgroundPresence(bool) const {
    return {QStringLiteral("Pylon runs quietly in your menu bar\u2014open the "), QStringLiteral("hand.point.up.fill"),
            QStringLiteral(" menu anytime.")};
}

QString MacWording::keepsRunningTitle(const QString& appDisplayName) const {
    return appDisplayName + QStringLiteral(" keeps running");
}

QString MacWording::keepsRunningMessage(const QString& appDisplayName) const {
    return appDisplayName + QStringLiteral(" stays in the menu bar while its window is closed.");
}

QString MacWording::uninstallInformativeText() const {
    return QStringLiteral("This will stop the background service and remove all app data. You can delete the app from "
                          "Applications afterward.");
}

} // namespace pylon
