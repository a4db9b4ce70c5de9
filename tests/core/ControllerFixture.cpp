#include "ControllerFixture.h"

#include "core/Process.h"
#include "foundation/FileLogger.h"
#include "platform/Bundle.h"

#include <QDir>
#include <QFile>
#include <qcoro/qcorotask.h>

namespace pylon::test {

void ControllerFixture::setUpProcess() {
    // Lives until the process ends, and is removed then: the suite leaves nothing behind.
    static TemporaryHome processHome;
    Q_UNUSED(processHome);
    (void)process::loggers(); // the loggers exist before any test runs
}

QStringList ControllerFixture::menubarLogMessages() {
    process::flushLog();
    QStringList messages;
    for (const QByteArray& line : readFile(process::environment().menubarLogFile()).split('\n')) {
        if (!line.isEmpty())
            messages << QString::fromUtf8(line.mid(line.indexOf("] ", line.indexOf("][")) + 2));
    }
    return messages;
}

ControllerFixture::ControllerFixture() {
    server.listen();
    server.body = statusDocument();
    services.statusValue = ServiceManager::enabled;
    auto subscribe = [this] {
        auto source = std::make_unique<AccessibilityNotifications>();
        notifications = source.get();
        ++subscriptions;
        return source;
    };
    controller = std::make_unique<PylonController>(
        context(subscribe, server.port(), AbletonSetupManager::Options{home.path(), home.dataHome()}));
}

ControllerFixture::~ControllerFixture() = default;

void ControllerFixture::poll() {
    QCoro::waitFor(controller->pollOnce());
}

std::optional<StatusResponse> ControllerFixture::fetch() {
    return QCoro::waitFor(controller->fetchStatus());
}

void ControllerFixture::refresh() {
    QCoro::waitFor(controller->refresh());
}

bool ControllerFixture::addRemoteScriptArchive() {
    const QString built = qEnvironmentVariable("PYLON_BUILD_DIR") + QStringLiteral("/Pylon.app/Contents/Resources/Pylon.zip");
    return QFile::copy(built, bundlePath + QStringLiteral("/Contents/Resources/Pylon.zip"));
}

void ControllerFixture::addLive(const QString& version, const QString& libraryBelowHome, bool createLibrary) {
    const qsizetype slash = libraryBelowHome.lastIndexOf(QLatin1Char('/'));
    const QString projectPath = QStringLiteral("~/") + libraryBelowHome.left(slash);
    const QString projectName = libraryBelowHome.mid(slash + 1);
    home.writeFile(QStringLiteral("Library/Preferences/Ableton/Live ") + version + QStringLiteral("/Library.cfg"),
                   QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton><ContentLibrary><UserLibrary>"
                                  "<LibraryProject><ProjectPath Value=\"%1\"/><ProjectName Value=\"%2\"/>"
                                  "</LibraryProject></UserLibrary></ContentLibrary></Ableton>\n")
                       .arg(projectPath, projectName)
                       .toUtf8());
    if (createLibrary)
        QDir().mkpath(home.path() + QLatin1Char('/') + libraryBelowHome);
}

} // namespace pylon::test
