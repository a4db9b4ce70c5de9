#pragma once

#include "status/AbletonVersion.h"

#include <QList>
#include <QObject>

namespace pylon {

// What the setup window sees of the controller: the detected Live libraries and the actions of
// its rows and buttons. Views hold the controller only through this interface, so tests can give
// them a fake.
class SetupViewControllerProtocol : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual const QList<AbletonVersion>& abletonVersions() const = 0;
    virtual void openLoginItemsSettings() = 0;
    virtual void openAccessibilitySettings() = 0;
    virtual void openAutomationSettings() = 0;
    virtual void restartCompanion() = 0;
    virtual void openLogFile() = 0;
    virtual void installRemoteScriptFromBundle(const AbletonVersion& version) = 0;
    virtual void openRemoteScriptsFolder(const AbletonVersion& version) = 0;
    virtual void showStagedRemoteScript() = 0;
    // Adds a Wine prefix the user chose to those searched for Live, then looks for Live again; a folder
    // that is no prefix is refused with an alert.
    virtual void addWinePrefix(const QString& folder) = 0;
    // True while a control-script installation runs; the window may disable its install buttons.
    virtual bool isInstallingRemoteScript() const = 0;

signals:
    // abletonVersions was assigned (also an element of it).
    void abletonVersionsChanged();
    void installingRemoteScriptChanged();
};

} // namespace pylon
