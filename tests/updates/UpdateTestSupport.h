#pragma once

#include "FakeCompanionServer.h"
#include "Fakes.h"
#include "TemporaryHome.h"
#include "core/UpdateController.h"
#include "platform/UserDefaults.h"

#include <QStringList>
#include <memory>

class QTcpSocket;

namespace pylon::test {

// The shared loopback server, serving an update feed.
class FeedServer : public FakeCompanionServer {
public:
    FeedServer();
    QUrl feedUrl() const;
    int requestCount() const { return int(requests.size()); }
};

// One feed item; empty fields are left out of the XML.
struct FeedItem {
    FeedItem(QByteArray version = {}, QByteArray os = {},
             QByteArray enclosure = "https://downloads.example.net/pylon.tar.gz", QByteArray releaseNotes = {},
             QByteArray link = {})
        : version(std::move(version))
        , os(std::move(os))
        , enclosure(std::move(enclosure))
        , releaseNotes(std::move(releaseNotes))
        , link(std::move(link)) {}
    QByteArray version, os, enclosure, releaseNotes, link;
};

// An RSS document in Sparkle's form with these items.
QByteArray appcast(const QList<FeedItem>& items);

// A user driver that notes what it is asked to show ("found <version>", "up to date <version>",
// "error: <text>") and answers every found update with "Remind Me Later".
class RecordingDriver final : public UpdateUserDriver {
public:
    void showUpdateFound(const UpdateFound& found, std::function<void(UpdateChoice)> reply) override;
    void showUpToDate(const QString& appName, const QString& currentVersion, std::function<void()> done) override;
    void showUpdateError(const QString& error, std::function<void()> done) override;
    QStringList shown;
};

// Controllers of a "Pylon" at version 1.9 reading the feed of `server`, with defaults in a temporary
// home and a wall clock that moves only when told to.
class UpdateFixture {
public:
    UpdateFixture();
    ~UpdateFixture();

    // A new controller over the same defaults, as on the next run; the previous one goes away first.
    UpdateController& makeController(std::unique_ptr<UpdateUserDriver> driver = std::make_unique<RecordingDriver>());
    RecordingDriver& recorder() const { return dynamic_cast<RecordingDriver&>(*controller->userDriver()); }
    // Starts a check the user asked for and waits until it ends; false if it never does.
    bool checkAndWait();
    // Waits until `count` checks have ended in all; false if they never do.
    bool waitForFinishedChecks(int count);
    void advanceSeconds(qint64 seconds) { now = now.addSecs(seconds); }

    TemporaryHome home;
    FeedServer server;
    FakeWorkspace workspace;
    UserDefaults defaults;
    UpdaterConfiguration configuration;
    std::chrono::milliseconds timeLimit = UpdateChecker::defaultTimeLimit;
    QDateTime now;
    std::unique_ptr<UpdateController> controller;
    int finishedChecks = 0;
    bool lastCheckWasUserInitiated = false;
};

} // namespace pylon::test

Q_DECLARE_METATYPE(pylon::test::FeedItem)
