#include "platform/PlatformWording.h"

namespace pylon {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// Linux with the X11 backend: Accessibility stands for an X display with the XTEST extension, which
// the companion can open or not; there is no Automation permission; the tray may be missing.
class LinuxWording final : public PlatformWording {
public:
    QString thisComputer() const override { return QStringLiteral("this computer"); }

    QString automationDescription() const override {
        return QStringLiteral("Pylon talks to Ableton Live through its control script, so it can show you the name "
                              "of the open Live Set.");
    }

    QList<GuidanceLine> automationInstructions(const QString& appDisplayName) const override {
        return {
            {QStringLiteral("Linux has no Automation permission to grant: ") + quoted(appDisplayName) +
                 QStringLiteral(" reaches Live through its control script. This page turns green as soon as the "
                                "companion reports in."),
             false},
            {QStringLiteral("If it stays like this, the companion is not running yet: continue, and start it from "
                            "the Pylon window."),
             true},
        };
    }

    QString accessibilityDescription() const override {
        return QStringLiteral("Pylon saves your Live Set from your iPhone by sending Live the save shortcut through "
                              "the X server's XTEST extension.");
    }

    QList<GuidanceLine> accessibilityInstructions(const QString& companionDisplayName) const override {
        return {
            {quoted(companionDisplayName) + QStringLiteral(" needs an X11 display with the XTEST extension, with Live "
                                                           "running on that display (Wine under X11 or XWayland)."),
             false},
            {QStringLiteral("It checks again each time it starts: restart it from the Pylon window once the display "
                            "is there."),
             true},
        };
    }

    QString accessibilityMissingHelp(const QString& companionDisplayName) const override {
        return quoted(companionDisplayName) +
               QStringLiteral(" could not open an X11 display with the XTEST extension, which it needs to send Live "
                              "the save shortcut. Run Pylon in the same X11 session as Live (or under XWayland).");
    }

    BackgroundPresence backgroundPresence(bool trayShown) const override {
        if (trayShown)
            return {QStringLiteral("Pylon runs quietly in your system tray\u2014open the "),
                    QStringLiteral("hand.point.up.fill"), QStringLiteral(" menu anytime.")};
        return {QStringLiteral("Pylon runs quietly in the background\u2014open Pylon from your applications menu "
                               "anytime to see this window again."),
                QString(), QString()};
    }

    QString keepsRunningTitle(const QString& appDisplayName) const override {
        return appDisplayName + QStringLiteral(" keeps running");
    }

    QString keepsRunningMessage(const QString& appDisplayName) const override {
        return appDisplayName + QStringLiteral(" goes on running in the background, so Live and your iPhone stay "
                                               "connected. To see this window again, open ") +
               appDisplayName + QStringLiteral(" from your applications menu. To stop it, choose Quit ") +
               appDisplayName + QStringLiteral(" in the ") + appDisplayName + QStringLiteral(" menu of this window.");
    }

    QString uninstallInformativeText() const override {
        return QStringLiteral("This will stop the background service and remove all app data. Afterward, remove Pylon "
                              "with your package manager, or with make uninstall if you installed it from source.");
    }
};

} // namespace

std::unique_ptr<PlatformWording> createPlatformWording() {
    return std::make_unique<LinuxWording>();
}

} // namespace pylon
