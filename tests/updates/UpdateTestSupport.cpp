#include "UpdateTestSupport.h"

#include <QTcpSocket>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

namespace pylon::test {

FeedServer::FeedServer() {
    contentType = "application/rss+xml";
    listen();
}

QUrl FeedServer::feedUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/pylon/appcast.xml").arg(port()));
}

QByteArray appcast(const QList<FeedItem>& items) {
    QByteArray xml = "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
                     "<channel><title>Pylon</title>\n";
    for (const FeedItem& item : items) {
        xml += "<item><title>Version " + item.version + "</title>";
        auto element = [&xml](const QByteArray& name, const QByteArray& value) {
            if (!value.isEmpty())
                xml += '<' + name + '>' + value + "</" + name + '>';
        };
        element("sparkle:version", item.version);
        element("sparkle:releaseNotesLink", item.releaseNotes);
        element("link", item.link);
        if (!item.enclosure.isEmpty()) {
            xml += "<enclosure url=\"" + item.enclosure + "\" length=\"1\" type=\"application/octet-stream\"" +
                   (item.os.isEmpty() ? QByteArray() : " sparkle:os=\"" + item.os + '"') + "/>";
        }
        xml += "</item>\n";
    }
    return xml + "</channel></rss>\n";
}

void RecordingDriver::showUpdateFound(const UpdateFound& found, std::function<void(UpdateChoice)> reply) {
    shown << QStringLiteral("found ") + found.item.version;
    reply(UpdateChoice::remindMeLater);
}

void RecordingDriver::showUpToDate(const QString&, const QString& currentVersion, std::function<void()> done) {
    shown << QStringLiteral("up to date ") + currentVersion;
    done();
}

void RecordingDriver::showUpdateError(const QString& error, std::function<void()> done) {
    shown << QStringLiteral("error: ") + error;
    done();
}

UpdateFixture::UpdateFixture()
    : defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome())
    , now(QDate(2024, 5, 1), QTime(12, 0), QTimeZone::utc()) {
    configuration.feedUrl = server.feedUrl();
    configuration.appName = QStringLiteral("Pylon");
    configuration.bundleVersion = QStringLiteral("1.9");
    configuration.shortVersionString = QStringLiteral("1.9");
}

UpdateFixture::~UpdateFixture() {
    controller.reset();
}

UpdateController& UpdateFixture::makeController(std::unique_ptr<UpdateUserDriver> driver) {
    controller.reset();
    controller = std::make_unique<UpdateController>(configuration, defaults, workspace,
                                                    UpdaterOptions{[this] { return now; }, timeLimit});
    controller->setUserDriver(std::move(driver));
    QObject::connect(controller.get(), &UpdateController::checkFinished, controller.get(),
                     [this](const UpdateCheckResult&, bool userInitiated) {
                         ++finishedChecks;
                         lastCheckWasUserInitiated = userInitiated;
                     });
    return *controller;
}

bool UpdateFixture::checkAndWait() {
    const int count = finishedChecks + 1;
    controller->checkForUpdates();
    return waitForFinishedChecks(count);
}

bool UpdateFixture::waitForFinishedChecks(int count) {
    return QTest::qWaitFor([&] { return finishedChecks >= count; }, 20000);
}

} // namespace pylon::test
