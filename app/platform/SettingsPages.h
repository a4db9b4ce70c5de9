#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace pylon {

// The pages of the desktop's own settings that Pylon sends the user to.
enum class SettingsPage { accessibility, automation, loginItems };

// Opening the desktop's settings at a page. Not every desktop has every page: a button that would
// open a missing page is not shown.
class SettingsPages {
public:
    virtual ~SettingsPages() = default;
    virtual bool has(SettingsPage page) const = 0;
    // False when there is no such page or its settings program could not be started.
    virtual bool open(SettingsPage page) = 0;
};

// The settings program and arguments that show `page` on a desktop: `currentDesktop` is
// XDG_CURRENT_DESKTOP (names separated by colons, any case), `findProgram` answers a program's
// path on PATH or an empty string. Absent where that desktop has no such page.
std::optional<QStringList> settingsCommand(SettingsPage page, const QString& currentDesktop,
                                           const std::function<QString(const QString&)>& findProgram);

// The settings of the desktop this session runs, found from XDG_CURRENT_DESKTOP and PATH.
std::unique_ptr<SettingsPages> createSettingsPages();

} // namespace pylon
