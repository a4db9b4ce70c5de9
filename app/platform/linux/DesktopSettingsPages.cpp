#include "platform/SettingsPages.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace pylon {

namespace {

// Accessibility settings pages of the desktops that have one; nothing on Linux grants Automation
// or approves login items.
struct DesktopPage {
    QString desktop; // as XDG_CURRENT_DESKTOP names it, compared without case
    QStringList programs; // tried in order
    QStringList arguments;
};

const QList<DesktopPage>& accessibilityPages() {
    static const QList<DesktopPage> pages{
        {QStringLiteral("GNOME"), {QStringLiteral("gnome-control-center")}, {QStringLiteral("universal-access")}},
        {QStringLiteral("KDE"), {QStringLiteral("systemsettings"), QStringLiteral("systemsettings5")},
         {QStringLiteral("kcm_access")}},
    };
    return pages;
}

class DesktopSettingsPages final : public SettingsPages {
public:
    explicit DesktopSettingsPages(QString currentDesktop)
        : m_currentDesktop(std::move(currentDesktop)) {}

    bool has(SettingsPage page) const override { return command(page).has_value(); }

    bool open(SettingsPage page) override {
        const std::optional<QStringList> found = command(page);
        if (!found)
            return false;
        return QProcess::startDetached(found->first(), found->mid(1));
    }

private:
    std::optional<QStringList> command(SettingsPage page) const {
        return settingsCommand(page, m_currentDesktop,
                               [](const QString& program) { return QStandardPaths::findExecutable(program); });
    }

    QString m_currentDesktop;
};

} // namespace

std::optional<QStringList> settingsCommand(SettingsPage page, const QString& currentDesktop,
                                           const std::function<QString(const QString&)>& findProgram) {
    if (page != SettingsPage::accessibility)
        return std::nullopt;
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& desktop : desktops) {
        for (const DesktopPage& candidate : accessibilityPages()) {
            if (desktop.trimmed().compare(candidate.desktop, Qt::CaseInsensitive) != 0)
                continue;
            for (const QString& program : candidate.programs) {
                const QString path = findProgram(program);
                if (!path.isEmpty())
                    return QStringList{path} + candidate.arguments;
            }
        }
    }
    return std::nullopt;
}

std::unique_ptr<SettingsPages> createSettingsPages() {
    // Read at each start: the session's desktop does not change while Pylon runs.
    return std::make_unique<DesktopSettingsPages>(
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CURRENT_DESKTOP")));
}

} // namespace pylon
