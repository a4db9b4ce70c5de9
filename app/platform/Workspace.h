#pragma once

#include <QString>
#include <QUrl>

namespace pylon {

class FileLogger;
class SettingsPages;

// Opening things the way the desktop does: URLs in their handler, files in their default
// application, folders in the file manager.
class Workspace {
public:
    virtual ~Workspace() = default;
    // False when nothing could be asked to open it (an unsupported settings link, no opener).
    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool openFile(const QString& path) = 0;
    // Shows the file selected in the file manager, or at least its folder.
    virtual bool revealFile(const QString& path) = 0;
};

// The desktop's workspace (xdg-open, the FileManager1 D-Bus service). The privacy panes of macOS's
// System Settings ("x-apple.systempreferences:…?Privacy_Accessibility", "…?Privacy_Automation")
// open the desktop's own settings page for the same concern through `settings`, where it has one.
class DesktopWorkspace final : public Workspace {
public:
    // What cannot be opened here is logged to `log`; both must outlive the workspace.
    explicit DesktopWorkspace(const FileLogger& log, SettingsPages* settings = nullptr)
        : m_log(log)
        , m_settings(settings) {}

    bool openUrl(const QUrl& url) override;
    bool openFile(const QString& path) override;
    bool revealFile(const QString& path) override;

private:
    bool openSettingsLink(const QUrl& url);

    const FileLogger& m_log;
    SettingsPages* m_settings;
};

} // namespace pylon
