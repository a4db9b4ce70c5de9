#include "companion/HttpAnswerParser.h"

#include <QTest>

using namespace pylon;
using Failure = ExchangeFailure;

Q_DECLARE_METATYPE(pylon::ExchangeFailure)

namespace {

constexpr qsizetype maxBody = 1000;
const QString peer = QStringLiteral("127.0.0.1:47150");

struct Outcome {
    bool ended = false;
    Failure failure = Failure::none;
    QByteArray body;
    int status = 0;
};

// Feeds `answer` in pieces of `piece` bytes (the whole at once for 0), then says the connection
// closed when `close` is set.
Outcome parse(const QByteArray& answer, qsizetype piece, bool close = true) {
    HttpAnswerParser parser(maxBody, peer);
    for (qsizetype at = 0; at < answer.size() && !parser.ended();) {
        const qsizetype size = piece == 0 ? answer.size() : piece;
        parser.feed(answer.mid(at, size));
        at += size;
    }
    if (close)
        parser.closed();
    return {parser.ended(), parser.failure(), parser.body(), parser.httpStatus()};
}

QByteArray chunked(const QByteArray& chunks) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks;
}

} // namespace

class HttpAnswerParserTest : public QObject {
    Q_OBJECT
private slots:
    // Every answer reads the same whole, byte by byte and in pieces of 7: nothing depends on
    // where the connection happens to split it.
    void answersReadTheSameInAnyPieces_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QByteArray>("body");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray doc = "{\"a\":1}";
        QTest::newRow("length") << ok + "Content-Length: 7\r\n\r\n" + doc << Failure::none << doc;
        QTest::newRow("repeated equal lengths")
            << ok + "Content-Length: 7, 7\r\ncontent-length: 7\r\n\r\n" + doc << Failure::none << doc;
        QTest::newRow("different lengths")
            << ok + "Content-Length: 7\r\nContent-Length: 8\r\n\r\n" + doc << Failure::transport << QByteArray();
        QTest::newRow("negative length") << ok + "Content-Length: -1\r\n\r\n" + doc << Failure::transport
                                         << QByteArray();
        QTest::newRow("length with a sign")
            << ok + "Content-Length: +7\r\n\r\n" + doc << Failure::transport << QByteArray();
        QTest::newRow("length past 64 bits")
            << ok + "Content-Length: 99999999999999999999999999\r\n\r\n" + doc << Failure::tooLarge << QByteArray();
        QTest::newRow("length over the limit")
            << ok + "Content-Length: 1001\r\n\r\n" + doc << Failure::tooLarge << QByteArray();
        QTest::newRow("chunks") << chunked("3;x=y\r\n{\"a\r\n4 \r\n\":1}\r\n0\r\nT: 1\r\n\r\n") << Failure::none << doc;
        QTest::newRow("chunk size in 16 digits")
            << chunked("0000000000000007\r\n" + doc + "\r\n0\r\n\r\n") << Failure::none << doc;
        QTest::newRow("chunk size of 16 f")
            << chunked("ffffffffffffffff\r\n" + doc) << Failure::tooLarge << QByteArray();
        QTest::newRow("chunk size of 17 digits")
            << chunked("10000000000000007\r\n" + doc) << Failure::tooLarge << QByteArray();
        QTest::newRow("chunks adding up past the limit")
            << chunked("3e8\r\n" + QByteArray(1000, 'x') + "\r\n1\r\n") << Failure::tooLarge << QByteArray();
        QTest::newRow("chunk size not hex") << chunked("zz\r\n{}\r\n0\r\n\r\n") << Failure::transport << QByteArray();
        QTest::newRow("chunk longer than its size")
            << chunked("2\r\n" + doc + "\r\n0\r\n\r\n") << Failure::transport << QByteArray();
        QTest::newRow("chunk longer than its size, more chunks after it")
            << chunked("2\r\n{\"a\r\n4\r\n\":1}\r\n0\r\n\r\n") << Failure::transport << QByteArray();
        QTest::newRow("chunked wins over a length")
            << "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n7\r\n" + doc + "\r\n0\r\n\r\n"
            << Failure::none << doc;
        QTest::newRow("other transfer coding") << ok + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n"
                                               << Failure::transport << QByteArray();
        QTest::newRow("until closed, HTTP/1.0") << "HTTP/1.0 200 OK\n\n" + doc << Failure::none << doc;
        QTest::newRow("until closed, past the limit")
            << "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(1001, 'x') << Failure::tooLarge << QByteArray();
        QTest::newRow("interim answers first")
            << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nA: b\r\n\r\n" + ok +
                   "Content-Length: 7\r\n\r\n" + doc
            << Failure::none << doc;
        QTest::newRow("switching protocols")
            << QByteArray("HTTP/1.1 101 Switching Protocols\r\n\r\n") << Failure::notHttp << QByteArray();
        QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n")
                                    << Failure::none << QByteArray();
        QTest::newRow("redirect") << QByteArray("HTTP/1.1 302 Found\r\nLocation: http://x/\r\n\r\n")
                                  << Failure::redirected << QByteArray();
        QTest::newRow("3xx without a target")
            << "HTTP/1.1 300 Choices\r\nContent-Length: 7\r\n\r\n" + doc << Failure::none << doc;
        QTest::newRow("folded header") << ok + "X: a\r\n Content-Length: 7\r\n\r\n" + doc << Failure::transport
                                       << QByteArray();
        QTest::newRow("space before colon")
            << ok + "Content-Length : 7\r\n\r\n" + doc << Failure::transport << QByteArray();
        QTest::newRow("cut short") << ok + "Content-Length: 70\r\n\r\n" + doc << Failure::transport << QByteArray();
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH_9.2p1\r\n") << Failure::notHttp << QByteArray();
        QTest::newRow("HTTP/2 status") << QByteArray("HTTP/2 200\r\n\r\n") << Failure::notHttp << QByteArray();
        QTest::newRow("status of two digits")
            << QByteArray("HTTP/1.1 20 OK\r\n\r\n") << Failure::notHttp << QByteArray();
        QTest::newRow("nothing") << QByteArray() << Failure::notHttp << QByteArray();
    }
    void answersReadTheSameInAnyPieces() {
        QFETCH(QByteArray, answer);
        QFETCH(Failure, failure);
        QFETCH(QByteArray, body);
        for (const qsizetype piece : {qsizetype(0), qsizetype(1), qsizetype(7)}) {
            const Outcome outcome = parse(answer, piece);
            QVERIFY(outcome.ended);
            QCOMPARE(outcome.failure, failure);
            QCOMPARE(outcome.body, body);
        }
    }

    // Heads are bounded in all: one long head, or interim answers without end, fail at 16 KiB, as
    // soon as the bytes go past it, without waiting for a line end or the connection's close.
    void headsAreBoundedInAll() {
        const QByteArray longField = "HTTP/1.1 200 OK\r\nX: " + QByteArray(HttpAnswerParser::maxHead, 'x');
        QByteArray interims;
        while (interims.size() <= HttpAnswerParser::maxHead)
            interims += "HTTP/1.1 100 Continue\r\n\r\n";
        for (const QByteArray& answer : {longField, interims}) {
            const Outcome outcome = parse(answer, 1000, false);
            QVERIFY(outcome.ended);
            QCOMPARE(outcome.failure, Failure::notHttp);
        }
        const QByteArray fits = "HTTP/1.1 200 OK\r\nX: " + QByteArray(HttpAnswerParser::maxHead - 100, 'x') +
                                "\r\nContent-Length: 2\r\n\r\n{}";
        QCOMPARE(parse(fits, 1000).body, QByteArray("{}"));
    }

    // Trailers and chunk extensions without end are framing, bounded like a head.
    void chunkFramingIsBounded() {
        QByteArray trailers = chunked("0\r\n");
        while (trailers.size() < 2 * HttpAnswerParser::maxFraming)
            trailers += "T: " + QByteArray(100, 't') + "\r\n";
        QCOMPARE(parse(trailers, 999, false).failure, Failure::transport);
        const QByteArray extension = chunked("1;" + QByteArray(2 * HttpAnswerParser::maxFraming, 'e'));
        QCOMPARE(parse(extension, 999, false).failure, Failure::transport);
    }

    // The parser never asks for more than the answer still needs: what follows a body of known
    // length stays unread, and a body ended by the close is read to one byte past the limit.
    void roomEndsWithTheAnswer() {
        HttpAnswerParser parser(maxBody, peer);
        QVERIFY(parser.room(4096) <= HttpAnswerParser::maxHead + 1);
        parser.feed("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123");
        QCOMPARE(parser.room(4096), 6);
        parser.feed("456789");
        QVERIFY(parser.ended());
        QCOMPARE(parser.room(4096), 0);
        QCOMPARE(parser.httpStatus(), 200);
        QCOMPARE(parser.body(), QByteArray("0123456789"));
        HttpAnswerParser untilClosed(maxBody, peer);
        untilClosed.feed("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(400, 'x'));
        QCOMPARE(untilClosed.room(4096), maxBody - 400 + 1);
    }

    // A failure from outside (the time limit) ends it; nothing that arrives afterwards changes it.
    void failuresFromOutsideAreFinal() {
        HttpAnswerParser parser(maxBody, peer);
        parser.feed("HTTP/1.1 200 OK\r\n");
        parser.fail(Failure::timedOut, QStringLiteral("late"));
        parser.feed("Content-Length: 2\r\n\r\n{}");
        parser.closed();
        QCOMPARE(parser.failure(), Failure::timedOut);
        QCOMPARE(parser.reason(), QStringLiteral("late"));
        QVERIFY(parser.body().isEmpty());
    }
};

int runHttpAnswerParserTests(int argc, char** argv) {
    HttpAnswerParserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_httpanswerparser.moc"
