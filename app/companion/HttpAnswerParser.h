#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace pylon {

// How an exchange with the companion ended. The numbers appear in the log next to the names
// (see exchangeFailureName): they never change, whatever is added.
enum class ExchangeFailure {
    none = 0,
    noConnection = 1, // nothing accepted the connection (refused, unreachable)
    timedOut = 2,     // no complete answer within the exchange's limit
    tooLarge = 3,     // the body was announced or sent larger than allowed
    redirected = 4,   // the answer was a redirect, which is never followed
    notHttp = 5,      // what came back was not an HTTP answer, or its head was too long
    transport = 6,    // any other failure (the connection closed early, a broken chunk, bad framing, ...)
};

// The enumerator's name, as the log shows it ("noConnection").
QString exchangeFailureName(ExchangeFailure failure);

// Takes an HTTP/1.x answer apart as its bytes arrive, in pieces of any size, without trusting
// anything in it: the heads (an interim 1xx answer's and the final one's) may hold maxHead bytes
// in all, chunk-size lines and trailers maxFraming bytes in all, the body maxBody bytes, announced
// or sent. Every count is checked before it is added, so no size in the answer can overflow one.
// A redirect ends it at its head. Pure: no I/O, no clock; whoever feeds it owns the connection and
// the time.
class HttpAnswerParser {
public:
    static constexpr qsizetype maxHead = qsizetype(16) * 1024;
    static constexpr qsizetype maxFraming = qsizetype(16) * 1024;
    static constexpr qsizetype maxBodyLimit = qsizetype(1) << 40; // maxBody is clamped to it

    // `peer` names the other end in the failure texts.
    HttpAnswerParser(qsizetype maxBody, QString peer);

    // The most bytes the parser may take next without reading past the answer or past a bound by
    // more than one byte (for a chunked body, `readAhead`).
    qint64 room(qint64 readAhead) const;
    // The next bytes of the answer; ignored once ended.
    void feed(const QByteArray& bytes);
    // The connection closed: completes an answer that runs until then, fails any other.
    void closed();

    bool ended() const { return m_phase == Phase::done; }
    ExchangeFailure failure() const { return m_failure; }
    const QString& reason() const { return m_reason; } // empty when the answer arrived whole
    int httpStatus() const { return m_status; }        // of the last status line, 0 before one
    const QByteArray& body() const { return m_body; }  // the whole body once ended without failure

    // Ends it with a failure from outside (the time limit, the connection); ignored once ended.
    void fail(ExchangeFailure failure, const QString& reason);

private:
    enum class Phase { statusLine, fields, lengthBody, closeBody, chunkSize, chunkData, chunkEnd, trailers, done };
    enum class LineState { complete, incomplete, tooLong };

    bool step();
    LineState takeLine(qsizetype limit, qsizetype* counted, QByteArray* line);
    bool readHeadLine();
    bool readStatusLine(const QByteArray& line);
    bool readField(const QByteArray& line);
    void endOfHead();
    void chooseFraming();
    bool readBytes();
    bool readChunkLine();
    void complete();
    QString noHttpAnswer(const QString& why) const;
    QString tooLargeText() const;
    QString framingText(const QString& what) const;

    qsizetype m_maxBody;
    QString m_peer;
    Phase m_phase = Phase::statusLine;
    QByteArray m_buffer; // received; taken apart up to m_offset
    qsizetype m_offset = 0;
    qsizetype m_scanned = 0;      // m_buffer holds no line end between m_offset and here
    qsizetype m_headBytes = 0;    // every head so far
    qsizetype m_framingBytes = 0; // chunk-size lines and trailers so far
    qint64 m_remaining = 0;       // of the announced body or the current chunk
    int m_status = 0;
    QList<QByteArray> m_fields; // of the head being read, "name:value" with the name in lower case
    QByteArray m_body;
    ExchangeFailure m_failure = ExchangeFailure::none;
    QString m_reason;
};

} // namespace pylon
