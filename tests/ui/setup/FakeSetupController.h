#pragma once

#include "core/SetupViewControllerProtocol.h"

#include <QStringList>

namespace pylon::test {

// Records every operation the setup window asks for, as "operation" or "operation <version id>".
class FakeSetupController final : public SetupViewControllerProtocol {
    Q_OBJECT
public:
    const QList<AbletonVersion>& abletonVersions() const override { return versions; }
    void openLoginItemsSettings() override { calls << QStringLiteral("openLoginItemsSettings"); }
    void openAccessibilitySettings() override { calls << QStringLiteral("openAccessibilitySettings"); }
    void openAutomationSettings() override { calls << QStringLiteral("openAutomationSettings"); }
    void restartCompanion() override { calls << QStringLiteral("restartCompanion"); }
    void openLogFile() override { calls << QStringLiteral("openLogFile"); }
    void installRemoteScriptFromBundle(const AbletonVersion& version) override {
        calls << QStringLiteral("installRemoteScriptFromBundle ") + version.id;
    }
    void openRemoteScriptsFolder(const AbletonVersion& version) override {
        calls << QStringLiteral("openRemoteScriptsFolder ") + version.id;
    }
    void showStagedRemoteScript() override { calls << QStringLiteral("showStagedRemoteScript"); }
    bool isInstallingRemoteScript() const override { return installing; }

    void setVersions(const QList<AbletonVersion>& list) {
        versions = list;
        emit abletonVersionsChanged();
    }
    void setInstalling(bool value) {
        installing = value;
        emit installingRemoteScriptChanged();
    }

    QList<AbletonVersion> versions;
    bool installing = false;
    QStringList calls;
};

} // namespace pylon::test
