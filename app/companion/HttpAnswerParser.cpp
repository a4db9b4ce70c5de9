#include "companion/HttpAnswerParser.h"

#include <algorithm>

namespace pylon {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The number written in `text` in base 10 or 16, -1 when it is not one, and cap + 1 for any number
// above cap: once the value passes cap it is no longer added to, so however many digits arrive
// nothing overflows (cap is at most maxBodyLimit, far below a 64-bit integer's range / 16).
qint64 parseNumber(QByteArrayView text, int base, qint64 cap) {
    if (text.isEmpty())
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        const int digit = base == 16 ? hexValue(c) : (isDigit(c) ? c - '0' : -1);
        if (digit < 0)
            return -1;
        if (value <= cap)
            value = value * base + digit;
    }
    return std::min(value, cap + 1);
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// The elements of every field `name` (lower case, with the colon), comma-separated lists split.
QList<QByteArray> fieldElements(const QList<QByteArray>& fields, QByteArrayView name) {
    QList<QByteArray> elements;
    for (const QByteArray& field : fields) {
        if (!field.startsWith(name))
            continue;
        for (const QByteArray& element : field.sliced(name.size()).split(','))
            if (!trimmed(element).isEmpty())
                elements.append(trimmed(element).toByteArray());
    }
    return elements;
}

// Something from the answer that goes into a text: printable ASCII only, and not much of it.
QString printable(QByteArrayView text) {
    QByteArray shown = text.first(std::min<qsizetype>(text.size(), 512)).toByteArray();
    for (char& c : shown)
        if (c < 0x20 || c > 0x7e)
            c = '?';
    return QString::fromLatin1(shown);
}

} // namespace

QString exchangeFailureName(ExchangeFailure failure) {
    switch (failure) {
    case ExchangeFailure::none:
        return QStringLiteral("none");
    case ExchangeFailure::noConnection:
        return QStringLiteral("noConnection");
    case ExchangeFailure::timedOut:
        return QStringLiteral("timedOut");
    case ExchangeFailure::tooLarge:
        return QStringLiteral("tooLarge");
    case ExchangeFailure::redirected:
        return QStringLiteral("redirected");
    case ExchangeFailure::notHttp:
        return QStringLiteral("notHttp");
    case ExchangeFailure::transport:
        break;
    }
    return QStringLiteral("transport");
}

HttpAnswerParser::HttpAnswerParser(qsizetype maxBody, QString peer)
    : m_maxBody(std::clamp<qsizetype>(maxBody, 0, maxBodyLimit))
    , m_peer(std::move(peer)) {}

qint64 HttpAnswerParser::room(qint64 readAhead) const {
    const qint64 unread = m_buffer.size() - m_offset;
    switch (m_phase) {
    case Phase::statusLine:
    case Phase::fields:
        return std::max<qint64>(1, maxHead - m_headBytes - unread + 1);
    case Phase::lengthBody:
        return std::max<qint64>(1, m_remaining - unread);
    case Phase::closeBody:
        return std::max<qint64>(1, m_maxBody - m_body.size() + 1);
    case Phase::done:
        return 0;
    default:
        return readAhead;
    }
}

void HttpAnswerParser::feed(const QByteArray& bytes) {
    if (ended())
        return;
    m_buffer.remove(0, m_offset);
    m_scanned -= m_offset;
    m_offset = 0;
    m_buffer += bytes;
    while (!ended() && step()) {
    }
}

void HttpAnswerParser::closed() {
    if (ended())
        return;
    if (m_phase == Phase::closeBody)
        complete();
    else if (m_phase == Phase::statusLine || m_phase == Phase::fields)
        fail(ExchangeFailure::notHttp, noHttpAnswer(QStringLiteral("it closed the connection")));
    else
        fail(ExchangeFailure::transport, framingText(QStringLiteral("the connection closed before the answer was "
                                                                    "complete")));
}

void HttpAnswerParser::fail(ExchangeFailure failure, const QString& reason) {
    if (ended())
        return;
    m_phase = Phase::done;
    m_failure = failure;
    m_reason = reason;
    m_body = QByteArray();
    m_buffer = QByteArray();
    m_offset = 0;
}

void HttpAnswerParser::complete() {
    m_phase = Phase::done;
    m_buffer = QByteArray();
    m_offset = 0;
}

// One step on what is buffered; false when more bytes are needed.
bool HttpAnswerParser::step() {
    switch (m_phase) {
    case Phase::statusLine:
    case Phase::fields:
        return readHeadLine();
    case Phase::lengthBody:
    case Phase::closeBody:
    case Phase::chunkData:
        return readBytes();
    case Phase::chunkSize:
    case Phase::chunkEnd:
    case Phase::trailers:
        return readChunkLine();
    case Phase::done:
        break;
    }
    return false;
}

// The next line (without its line end, LF or CRLF) into `line`. Every byte of it counts against
// `limit` through `counted`; past the limit, complete or not, it is refused.
HttpAnswerParser::LineState HttpAnswerParser::takeLine(qsizetype limit, qsizetype* counted, QByteArray* line) {
    const qsizetype end = m_buffer.indexOf('\n', std::max(m_scanned, m_offset));
    const qsizetype length = (end < 0 ? m_buffer.size() : end + 1) - m_offset;
    if (*counted + length > limit)
        return LineState::tooLong;
    if (end < 0) {
        m_scanned = m_buffer.size();
        return LineState::incomplete;
    }
    *counted += length;
    *line = m_buffer.sliced(m_offset, end - m_offset);
    if (line->endsWith('\r'))
        line->chop(1);
    m_offset = end + 1;
    m_scanned = m_offset;
    return LineState::complete;
}

bool HttpAnswerParser::readHeadLine() {
    if (m_phase == Phase::statusLine && m_buffer.size() - m_offset >= 5 &&
        !QByteArrayView(m_buffer).sliced(m_offset, 5).startsWith("HTTP/")) {
        fail(ExchangeFailure::notHttp, noHttpAnswer(QStringLiteral("its answer does not start with an HTTP status "
                                                                   "line")));
        return false;
    }
    QByteArray line;
    switch (takeLine(maxHead, &m_headBytes, &line)) {
    case LineState::tooLong:
        fail(ExchangeFailure::notHttp, noHttpAnswer(QStringLiteral("its head is longer than %1 bytes").arg(maxHead)));
        return false;
    case LineState::incomplete:
        return false;
    case LineState::complete:
        break;
    }
    return m_phase == Phase::statusLine ? readStatusLine(line) : readField(line);
}

// "HTTP/1.0" or "HTTP/1.1", a space, three digits, then the end or a space and the reason.
bool HttpAnswerParser::readStatusLine(const QByteArray& line) {
    const QByteArrayView view(line);
    const bool wellFormed = view.size() >= 12 && (view.startsWith("HTTP/1.0 ") || view.startsWith("HTTP/1.1 ")) &&
                            isDigit(view[9]) && isDigit(view[10]) && isDigit(view[11]) &&
                            (view.size() == 12 || view[12] == ' ') && view[9] != '0';
    if (!wellFormed) {
        fail(ExchangeFailure::notHttp, noHttpAnswer(QStringLiteral("its status line is not one")));
        return false;
    }
    m_status = int(parseNumber(view.sliced(9, 3), 10, 999));
    if (m_status == 101) { // an upgrade nobody asked for: what follows is not HTTP
        fail(ExchangeFailure::notHttp, noHttpAnswer(QStringLiteral("it switched protocols")));
        return false;
    }
    m_fields.clear();
    m_phase = Phase::fields;
    return true;
}

bool HttpAnswerParser::readField(const QByteArray& line) {
    if (line.isEmpty()) {
        endOfHead();
        return !ended();
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView name = QByteArrayView(line).first(std::max<qsizetype>(colon, 0));
    // A name with space in or around it, or a line folded onto the one before, could be read in two
    // ways: neither is taken.
    const bool wellFormed =
        colon > 0 && std::none_of(name.begin(), name.end(), [](char c) { return c <= ' ' || c == 0x7f; });
    if (!wellFormed) {
        fail(ExchangeFailure::transport, framingText(QStringLiteral("a header line is not well formed")));
        return false;
    }
    m_fields.append(name.toByteArray().toLower() + ':' + trimmed(QByteArrayView(line).sliced(colon + 1)).toByteArray());
    return true;
}

void HttpAnswerParser::endOfHead() {
    if (m_status < 200) { // informational: the real answer follows, within the same bounds
        m_phase = Phase::statusLine;
        return;
    }
    QByteArrayView location;
    for (const QByteArray& field : m_fields)
        if (field.startsWith("location:"))
            location = QByteArrayView(field).sliced(9);
    if (m_status >= 300 && m_status < 400 && !location.isEmpty()) {
        fail(ExchangeFailure::redirected,
             m_peer + QStringLiteral(" answered with a redirect (HTTP %1 to %2), which is not followed")
                          .arg(m_status)
                          .arg(printable(location)));
        return;
    }
    if (m_status == 204 || m_status == 304) {
        complete();
        return;
    }
    chooseFraming();
}

// Chunked encoding wins over any Content-Length (which is then not looked at); any other transfer
// coding is refused. Without either the body runs until the connection closes.
void HttpAnswerParser::chooseFraming() {
    const QList<QByteArray> codings = fieldElements(m_fields, "transfer-encoding:");
    if (!codings.isEmpty()) {
        if (codings.size() != 1 || codings.front().compare("chunked", Qt::CaseInsensitive) != 0)
            fail(ExchangeFailure::transport, framingText(QStringLiteral("the answer's transfer coding is not "
                                                                        "chunked")));
        else
            m_phase = Phase::chunkSize;
        return;
    }
    qint64 announced = -1;
    for (const QByteArray& element : fieldElements(m_fields, "content-length:")) {
        const qint64 value = parseNumber(element, 10, m_maxBody);
        if (value < 0 || (announced >= 0 && value != announced)) {
            fail(ExchangeFailure::transport, framingText(QStringLiteral("the answer's Content-Length is not one "
                                                                        "number")));
            return;
        }
        announced = value;
    }
    if (announced > m_maxBody) {
        fail(ExchangeFailure::tooLarge, tooLargeText());
    } else if (announced == 0) {
        complete();
    } else {
        m_phase = announced > 0 ? Phase::lengthBody : Phase::closeBody;
        m_remaining = announced;
    }
}

bool HttpAnswerParser::readBytes() {
    const qsizetype unread = m_buffer.size() - m_offset;
    const qsizetype take = m_phase == Phase::closeBody ? unread : qsizetype(std::min<qint64>(unread, m_remaining));
    if (take == 0)
        return false;
    if (take > m_maxBody - m_body.size()) {
        fail(ExchangeFailure::tooLarge, tooLargeText());
        return false;
    }
    m_body.append(QByteArrayView(m_buffer).sliced(m_offset, take));
    m_offset += take;
    if (m_phase == Phase::closeBody)
        return false;
    m_remaining -= take;
    if (m_remaining > 0)
        return false;
    if (m_phase == Phase::lengthBody)
        complete();
    else
        m_phase = Phase::chunkEnd;
    return !ended();
}

bool HttpAnswerParser::readChunkLine() {
    QByteArray line;
    switch (takeLine(maxFraming, &m_framingBytes, &line)) {
    case LineState::tooLong:
        fail(ExchangeFailure::transport, framingText(QStringLiteral("the answer's chunk framing is longer than %1 "
                                                                    "bytes")
                                                         .arg(maxFraming)));
        return false;
    case LineState::incomplete:
        return false;
    case LineState::complete:
        break;
    }
    if (m_phase == Phase::trailers) {
        if (line.isEmpty())
            complete();
        return !ended();
    }
    if (m_phase == Phase::chunkEnd) {
        if (!line.isEmpty()) {
            fail(ExchangeFailure::transport, framingText(QStringLiteral("a chunk runs past its size")));
            return false;
        }
        m_phase = Phase::chunkSize;
        return true;
    }
    const qsizetype extension = line.indexOf(';');
    const qint64 size =
        parseNumber(trimmed(QByteArrayView(line).first(extension < 0 ? line.size() : extension)), 16, m_maxBody);
    if (size < 0) {
        fail(ExchangeFailure::transport, framingText(QStringLiteral("a chunk's size is not a number")));
        return false;
    }
    if (size > m_maxBody - m_body.size()) {
        fail(ExchangeFailure::tooLarge, tooLargeText());
        return false;
    }
    m_remaining = size;
    m_phase = size == 0 ? Phase::trailers : Phase::chunkData;
    return true;
}

QString HttpAnswerParser::noHttpAnswer(const QString& why) const {
    return m_peer + QStringLiteral(" accepted the connection but gave no HTTP answer (") + why + QLatin1Char(')');
}

QString HttpAnswerParser::tooLargeText() const {
    return QStringLiteral("the answer from %1 is larger than %2 bytes").arg(m_peer).arg(m_maxBody);
}

QString HttpAnswerParser::framingText(const QString& what) const {
    return m_peer + QStringLiteral(": ") + what;
}

} // namespace pylon
