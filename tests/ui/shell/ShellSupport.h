#pragma once

#include "MessageCapture.h"
#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"

#include <QObject>
#include <QStringList>
#include <memory>

namespace pylon::test {

inline const QString productionIdentifier = QStringLiteral("net.ostrand.Pylon");
inline const QString developmentIdentifier = QStringLiteral("net.ostrand.Pylon-Dev");

// `tst_shell <singleInstanceHelperArgument> <bundle identifier> <gate file>` prints "ready", waits
// until the gate file exists, then listens (printing "listening", then "message:<text>" for each
// message) or forwards "helper" (printing "forwarded").
inline const char* const singleInstanceHelperArgument = "--single-instance-helper";
int runSingleInstanceHelper(int argc, char** argv);

// The environment of the built bundle `name` ("Pylon" or "Pylon-Dev") with its data below `dataHome`.
inline BuildEnvironment builtEnvironment(const QString& name, const QString& dataHome) {
    const QString bundle = qEnvironmentVariable("PYLON_BUILD_DIR") + QLatin1Char('/') + name + QStringLiteral(".app");
    return BuildEnvironment(Bundle::atPath(bundle).facts(), QStringLiteral("x86_64"), dataHome);
}

// The texts that reached the system log under `category`, critical ones prefixed "error: " and
// any others but info ones "other: ".
inline QStringList systemLog(const MessageCapture& capture, const QString& category) {
    QStringList texts;
    for (const MessageCapture::Message& message : capture.messages(category)) {
        const char* level = message.type == QtInfoMsg ? "" : message.type == QtCriticalMsg ? "error: " : "other: ";
        texts << QString::fromLatin1(level) + message.text;
    }
    return texts;
}

} // namespace pylon::test

// Run in this order by main(): the first-run suite last, as its uninstall removes the process's own
// data folder.
std::unique_ptr<QObject> makeUrlAndUninstallTest();
std::unique_ptr<QObject> makeSingleInstanceTest();
std::unique_ptr<QObject> makeSaveReportTest();
std::unique_ptr<QObject> makeTraylessTest();
std::unique_ptr<QObject> makeFirstRunTest();
std::unique_ptr<QObject> makeLoginStartItemTest();
