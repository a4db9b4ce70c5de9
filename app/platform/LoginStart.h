#pragma once

#include <QString>
#include <optional>

namespace pylon {

// Starting Pylon when the user logs in, as a tray application is expected to.
class LoginStart {
public:
    virtual ~LoginStart() = default;

    // Whether Pylon starts at the next login.
    virtual bool isEnabled() const = 0;
    // Switches the start at login on or off; the reason when that failed.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

// The freedesktop way: an entry in the autostart folder (<config home>/autostart/<id>.desktop) that
// starts `program --background` (the tray item without raising the window), a little after the
// desktop's panel so a tray host is there to take the item.
class XdgAutostart final : public LoginStart {
public:
    XdgAutostart(QString configHome, QString desktopId, QString displayName, QString program);

    QString entryPath() const;
    // The entry's text for this program.
    QString entryText() const;

    bool isEnabled() const override;
    std::optional<QString> setEnabled(bool enabled) override;

private:
    QString m_configHome;
    QString m_desktopId;
    QString m_displayName;
    QString m_program;
};

// `path` as the program of a desktop entry's Exec key: quoted, with ", `, $ and \ escaped as the
// Desktop Entry rules want (a literal $ is \\$ in the file), and % doubled.
QString desktopEntryExecProgram(const QString& path);

} // namespace pylon
