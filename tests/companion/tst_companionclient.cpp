#include "FakeCompanionServer.h"

#include "companion/CompanionClient.h"

#include <QElapsedTimer>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;

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
        const auto body = await(client.fetchStatusBody());
        QVERIFY(body);
        QCOMPARE(*body, server.body);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(server.requests[0].method, QByteArray("GET"));
        QCOMPARE(server.requests[0].path, QByteArray("/status"));
        QVERIFY(!server.requests[0].headers.toLower().contains("cookie"));
    }

    void closedPortIsAFailedExchange() {
        FakeCompanionServer server;
        QVERIFY(server.listen());
        const quint16 port = server.port();
        server.close();
        CompanionClient client(port);
        QVERIFY(!await(client.fetchStatusBody()));
        QVERIFY(!await(client.postPermission(QStringLiteral("accessibility"))).completed);
    }

    void silentCompanionIsGivenUpAfterTheLimit() {
        FakeCompanionServer server;
        QVERIFY(server.listen());
        server.silent = true;
        CompanionClient client(server.port());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!await(client.fetchStatusBody()));
        // Bounded by the 2 s limit, not by some longer default.
        QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(server.requests.size(), 1);
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
