#include "FakeCompanionServer.h"
#include "HostileHttpServer.h"

#include "companion/CompanionClient.h"
#include "status/StatusCodec.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;
using Failure = CompanionClient::StatusFetch::Failure;
using Behaviour = HostileHttpServer::Behaviour;

Q_DECLARE_METATYPE(pylon::CompanionClient::StatusFetch::Failure)
Q_DECLARE_METATYPE(pylon::test::HostileHttpServer::Behaviour)

namespace {

// Runs a task to completion in a nested event loop.
template <typename T>
T await(QCoro::Task<T> task) {
    return QCoro::waitFor(std::move(task));
}

} // namespace

class CompanionClientTest : public QObject {
    Q_OBJECT
private slots:
    void statusBodyArrivesWhateverTheHttpStatus_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("200") << 200;
        QTest::newRow("500") << 500;
        QTest::newRow("404") << 404;
    }
    void statusBodyArrivesWhateverTheHttpStatus() {
        QFETCH(int, code);
        FakeCompanionServer server;
        QVERIFY(server.listen());
        server.statusCode = code;
        server.body = "{\"some\":\"body\"}";
        CompanionClient client(server.port());
        const auto fetched = await(client.fetchStatusBody());
        QVERIFY(fetched.body);
        QCOMPARE(*fetched.body, server.body);
        QCOMPARE(fetched.httpStatus, code);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(server.requests[0].method, QByteArray("GET"));
        QCOMPARE(server.requests[0].path, QByteArray("/status"));
        QVERIFY(!server.requests[0].headers.toLower().contains("cookie"));
        // Nothing compressed is asked for, so nothing is inflated on our side.
        QVERIFY(server.requests[0].headers.toLower().contains("accept-encoding: identity"));
    }

    void closedPortIsAFailedExchange() {
        FakeCompanionServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        server.close();
        CompanionClient client(port);
        const auto fetched = await(client.fetchStatusBody());
        QVERIFY(!fetched.body);
        QCOMPARE(fetched.failure, Failure::noConnection);
        // The failure reads the same in every language: Qt's error by name and number, then its text.
        const CompanionClient::Exchange exchange = await(client.postPermission(QStringLiteral("accessibility")));
        QVERIFY(!exchange.completed);
        const QString kind = QStringLiteral("QNetworkReply::ConnectionRefusedError (%1): ")
                                 .arg(int(QNetworkReply::ConnectionRefusedError));
        QVERIFY2(exchange.error.startsWith(kind), qPrintable(exchange.error));
        QCOMPARE(exchange.error.mid(kind.size()), QStringLiteral("Connection refused"));
    }

    void silentCompanionIsGivenUpAfterTheLimit() {
        FakeCompanionServer server;
        QVERIFY(server.listen());
        server.silent = true;
        CompanionClient client(server.port());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(await(client.fetchStatusBody()).failure, Failure::timedOut);
        // Bounded by the 2 s limit, not by some longer default.
        QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(server.requests.size(), 1);
        // A permission request that gets no answer says so in the client's own words.
        const CompanionClient::Exchange exchange = await(client.postPermission(QStringLiteral("accessibility")));
        QVERIFY(!exchange.completed);
        QCOMPARE(exchange.error, QStringLiteral("CompanionClient::timedOut (2): no complete answer from 127.0.0.1:%1 "
                                                "within 2 s")
                                     .arg(server.port()));
    }

    // Whatever the other end does, a fetch ends within the limit, keeps at most a status document's
    // worth of bytes and says why it failed.
    void hostilePeersAreBounded_data() {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("reasonMentions");
        const QByteArray large = "{\"pad\":\"" + QByteArray(10 * 1024 * 1024, 'x') + "\"}";
        QTest::newRow("endless body") << Behaviour::flood << QByteArray() << Failure::tooLarge << "larger than 1048576";
        QTest::newRow("endless chunks") << Behaviour::chunkedFlood << QByteArray() << Failure::tooLarge
                                        << "larger than";
        QTest::newRow("announced 10 GB") << Behaviour::announcedHuge << QByteArray() << Failure::tooLarge
                                         << "larger than";
        QTest::newRow("10 MB document") << Behaviour::document << large << Failure::tooLarge << "larger than";
        QTest::newRow("endless trickle") << Behaviour::trickle << QByteArray() << Failure::timedOut << "within 2 s";
        QTest::newRow("endless headers") << Behaviour::headerFlood << QByteArray() << Failure::timedOut << "";
        QTest::newRow("not HTTP") << Behaviour::notHttp << QByteArray() << Failure::notHttp << "no HTTP answer";
    }
    void hostilePeersAreBounded() {
        QFETCH(Behaviour, behaviour);
        QFETCH(QByteArray, body);
        QFETCH(Failure, failure);
        QFETCH(QString, reasonMentions);
        HostileHttpServer server(behaviour, body);
        CompanionClient client(server.port());
        QElapsedTimer timer;
        timer.start();
        const CompanionClient::StatusFetch fetched = await(client.fetchStatusBody());
        // The 2 s limit with room for a loaded machine: not a flood's minutes.
        QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!fetched.body);
        if (QTest::currentDataTag() != QByteArray("endless headers")) // Qt may give up on them first
            QVERIFY2(fetched.failure == failure, qPrintable(fetched.reason));
        QVERIFY2(fetched.reason.contains(reasonMentions) && fetched.reason.contains(QString::number(server.port())),
                 qPrintable(fetched.reason));
        // Qt sends an idempotent request again, a few times at most, on a connection closed early.
        QVERIFY2(server.connections() >= 1 && server.connections() <= 4,
                 qPrintable(QString::number(server.connections())));
    }

    // A document of exactly the limit still arrives whole; one byte more does not.
    void statusBodyUpToTheLimitArrives() {
        for (const qsizetype size : {maxStatusDocumentSize, maxStatusDocumentSize + 1}) {
            const QByteArray body = "{\"pad\":\"" + QByteArray(size - 10, 'y') + "\"}";
            QCOMPARE(body.size(), size);
            HostileHttpServer server(Behaviour::document, body);
            CompanionClient client(server.port());
            const CompanionClient::StatusFetch fetched = await(client.fetchStatusBody());
            QCOMPARE(fetched.body, size <= maxStatusDocumentSize ? std::optional(body) : std::nullopt);
        }
    }

    // A redirect, even to a companion that answers, is never followed: the fetch fails and says so.
    void redirectsAreNeverFollowed() {
        FakeCompanionServer elsewhere;
        QVERIFY(elsewhere.listen());
        elsewhere.body = statusDocument();
        const QByteArray target = "http://127.0.0.1:" + QByteArray::number(elsewhere.port()) + "/status";
        HostileHttpServer server(Behaviour::redirect, target);
        CompanionClient client(server.port());
        const CompanionClient::StatusFetch fetched = await(client.fetchStatusBody());
        QVERIFY(!fetched.body);
        QCOMPARE(fetched.failure, Failure::redirected);
        QVERIFY2(fetched.reason.contains(QString::fromLatin1(target)), qPrintable(fetched.reason));
        QTest::qWait(200);
        QCOMPARE(elsewhere.requests.size(), 0);
        // The permission request completes on the redirect and does not follow it either.
        HostileHttpServer permission(Behaviour::redirect, target);
        QVERIFY(await(CompanionClient(permission.port()).postPermission(QStringLiteral("accessibility"))).completed);
        QTest::qWait(200);
        QCOMPARE(elsewhere.requests.size(), 0);
    }

    void permissionRequestPostsToItsPathAndEncodesOddNames() {
        FakeCompanionServer server;
        QVERIFY(server.listen());
        server.statusCode = 500;
        CompanionClient client(server.port());
        QVERIFY(await(client.postPermission(QStringLiteral("accessibility"))).completed);
        QVERIFY(await(client.postPermission(QStringLiteral("a/b c"))).completed);
        QCOMPARE(server.requests.size(), 2);
        QCOMPARE(server.requests[0].method, QByteArray("POST"));
        QCOMPARE(server.requests[0].path, QByteArray("/permission/accessibility"));
        QCOMPARE(server.requests[1].path, QByteArray("/permission/a%2Fb%20c"));
    }
};

int runCompanionClientTests(int argc, char** argv) {
    CompanionClientTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_companionclient.moc"
