#include "TemporaryHome.h"
#include "core/Process.h"
#include "platform/PlatformWording.h"
#include "platform/SettingsPages.h"
#include "platform/Workspace.h"
#include "platform/mac/MacWording.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

// A program named `name` in `folder` that writes its arguments, one a line, to `record`.
QString writeRecordingProgram(const QString& folder, const QString& name, const QString& record) {
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n").arg(record).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

// What the platform says and which settings pages it opens.
class DesktopGuideTest : public QObject {
    Q_OBJECT
private slots:
    // The macOS side keeps the design's words; Linux says what is true on Linux and never points to
    // macOS's settings.
    void wordingOfEachPlatform() {
        const MacWording mac;
        QCOMPARE(mac.accessibilityInstructions("Pylon Companion"),
                 (QList<GuidanceLine>{{"If you're not prompted by Mac OS, open System Settings \u2192 Privacy and "
                                       "Security \u2192 Accessibility and turn on \"Pylon Companion\".",
                                       false}}));
        QCOMPARE(mac.automationInstructions("Pylon").value(1).text,
                 QString("If you're not prompted by Mac OS, open System Settings \u2192 Privacy and Security \u2192 "
                         "Automation and turn on \"Pylon\"."));
        QCOMPARE(mac.uninstallInformativeText(),
                 QString("This will stop the background service and remove all app data. You can delete the app from "
                         "Applications afterward."));
        QCOMPARE(mac.backgroundPresence(false),
                 (BackgroundPresence{"Pylon runs quietly in your menu bar\u2014open the ", "hand.point.up.fill",
                                     " menu anytime."}));
        QCOMPARE(mac.thisComputer(), QString("this Mac"));

        const std::unique_ptr<PlatformWording> onLinux = createPlatformWording();
        QStringList texts{onLinux->automationDescription(), onLinux->accessibilityDescription(),
                          onLinux->uninstallInformativeText(), onLinux->accessibilityMissingHelp("Pylon Companion"),
                          onLinux->keepsRunningMessage("Pylon"), onLinux->thisComputer()};
        for (const GuidanceLine& line :
             onLinux->automationInstructions("Pylon") + onLinux->accessibilityInstructions("Pylon Companion"))
            texts << line.text;
        for (bool tray : {true, false})
            texts << onLinux->backgroundPresence(tray).before + onLinux->backgroundPresence(tray).after;
        for (const QString& text : texts) {
            for (const char* macOnly : {"Mac", "System Settings", "Applications", "menu bar", "Click Allow"})
                QVERIFY2(!text.contains(QLatin1String(macOnly)), qPrintable(text));
        }
        QVERIFY(onLinux->accessibilityInstructions("Pylon Companion").value(0).text.contains("XTEST"));
        QVERIFY(onLinux->uninstallInformativeText().contains("make uninstall"));
        // With a tray the text points at its symbol; without one it says where else to find Pylon.
        QCOMPARE(onLinux->backgroundPresence(true).symbol, QString("hand.point.up.fill"));
        QVERIFY(onLinux->backgroundPresence(false).symbol.isEmpty() &&
                onLinux->backgroundPresence(false).before.contains("applications menu"));
        QVERIFY(!onLinux->automationDescription().contains('\n'));
    }

    // The desktop's own accessibility page where the desktop and its program are there; nothing for
    // Automation or login items, nor on desktops without such a page.
    void settingsCommandByDesktopAndPath() {
        const QStringList installed{"gnome-control-center", "systemsettings5"};
        const auto find = [&](const QString& program) {
            return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
        };
        using P = SettingsPage;
        const struct { P page; QString desktop; std::optional<QStringList> command; } rows[] = {
            {P::accessibility, "GNOME", QStringList{"/usr/bin/gnome-control-center", "universal-access"}},
            {P::accessibility, "ubuntu:GNOME", QStringList{"/usr/bin/gnome-control-center", "universal-access"}},
            {P::accessibility, "kde", QStringList{"/usr/bin/systemsettings5", "kcm_access"}},
            {P::accessibility, "XFCE", std::nullopt},
            {P::accessibility, "", std::nullopt},
            {P::automation, "GNOME", std::nullopt},
            {P::loginItems, "KDE", std::nullopt},
        };
        for (const auto& row : rows)
            QCOMPARE(settingsCommand(row.page, row.desktop, find), row.command);
        // A desktop whose settings program is not installed has no page.
        QCOMPARE(settingsCommand(P::accessibility, "GNOME", [](const QString&) { return QString(); }), std::nullopt);
    }

    // macOS's privacy links open the desktop's page through the real settings pages of this
    // session: a settings program on PATH is started with the page's argument.
    void privacyLinkStartsTheDesktopsSettingsProgram() {
        TemporaryHome home;
        const QString bin = home.path() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        const QString record = home.path() + QStringLiteral("/arguments");
        QVERIFY(!writeRecordingProgram(bin, "gnome-control-center", record).isEmpty());
        const QByteArray path = qgetenv("PATH"), desktop = qgetenv("XDG_CURRENT_DESKTOP");
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            qputenv("XDG_CURRENT_DESKTOP", desktop);
        });
        qputenv("PATH", bin.toLocal8Bit() + ':' + path);
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        const std::unique_ptr<SettingsPages> gnome = createSettingsPages();
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");
        const std::unique_ptr<SettingsPages> xfce = createSettingsPages();

        QVERIFY(gnome->has(SettingsPage::accessibility) && !gnome->has(SettingsPage::automation));
        QVERIFY(!xfce->has(SettingsPage::accessibility) && !xfce->open(SettingsPage::accessibility));
        DesktopWorkspace workspace(process::loggers().menubar, gnome.get());
        QVERIFY(!workspace.openUrl(QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation")));
        QVERIFY(workspace.openUrl(
            QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility")));
        const auto written = [&] {
            QFile file(record);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_COMPARE(written(), QByteArray("universal-access\n"));
    }
};

QTEST_GUILESS_MAIN(DesktopGuideTest)
#include "tst_desktopguide.moc"
