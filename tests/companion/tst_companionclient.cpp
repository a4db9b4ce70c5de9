#include "FakeCompanionServer.h"
#include "HostileHttpServer.h"

#include "companion/CompanionClient.h"
#include "status/StatusCodec.h"

#include <QElapsedTimer>
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
        // The failure reads the same in every language: its kind by name and number, then the peer
        // and the system's text.
        const CompanionClient::Exchange exchange = await(client.postPermission(QStringLiteral("accessibility")));
        QVERIFY(!exchange.completed);
        QCOMPARE(exchange.error,
                 QStringLiteral("CompanionClient::noConnection (1): 127.0.0.1:%1: Connection refused").arg(port));
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
        QTest::newRow("endless headers") << Behaviour::headerFlood << QByteArray() << Failure::notHttp
                                         << "head is longer than 16384 bytes";
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
        QVERIFY2(fetched.failure == failure, qPrintable(fetched.reason));
        QVERIFY2(fetched.reason.contains(reasonMentions) && fetched.reason.contains(QString::number(server.port())),
                 qPrintable(fetched.reason));
        // One connection per exchange: nothing is sent again on a connection closed early.
        QCOMPARE(server.connections(), 1);
    }

    // What HTTP/1.1 allows an answer to look like arrives whole over a real connection: chunks
    // (with extensions and trailers), a body ended by the connection, an interim 100 before the
    // answer; a body cut short or broken framing are failures, not documents.
    void answersInEveryFramingArrive_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QByteArray>("body");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray doc = "{\"a\":1}";
        QTest::newRow("length") << ok + "Content-Length: 7\r\n\r\n" + doc << Failure::none << doc;
        QTest::newRow("chunks")
            << ok + "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\n{\"a\r\n4\r\n\":1}\r\n0\r\nT: 1\r\n\r\n"
            << Failure::none << doc;
        QTest::newRow("until closed") << "HTTP/1.0 200 OK\n\n" + doc << Failure::none << doc;
        QTest::newRow("interim 100") << "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 7\r\n\r\n" + doc
                                     << Failure::none << doc;
        QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << Failure::none << QByteArray();
        QTest::newRow("cut short") << ok + "Content-Length: 70\r\n\r\n{\"a\":" << Failure::transport << QByteArray();
        QTest::newRow("chunks cut short") << ok + "Transfer-Encoding: chunked\r\n\r\n7\r\n" + doc + "\r\n"
                                          << Failure::transport << QByteArray();
        QTest::newRow("chunks over the limit") << ok + "Transfer-Encoding: chunked\r\n\r\n100001\r\n"
                                               << Failure::tooLarge << QByteArray();
        QTest::newRow("closed at once") << QByteArray() << Failure::notHttp << QByteArray();
    }
    void answersInEveryFramingArrive() {
        QFETCH(QByteArray, answer);
        QFETCH(Failure, failure);
        QFETCH(QByteArray, body);
        HostileHttpServer server(Behaviour::raw, answer);
        const CompanionClient::StatusFetch fetched = await(CompanionClient(server.port()).fetchStatusBody());
        QVERIFY2(fetched.failure == failure, qPrintable(fetched.reason));
        QCOMPARE(fetched.body, failure == Failure::none ? std::optional(body) : std::nullopt);
        QCOMPARE(server.connections(), 1);
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
