// Answers from whatever listens on the companion's port, as HttpAnswerParser takes them apart. The
// body never passes its bound, the parser always leaves room to read until it ends, and the outcome
// does not depend on how the connection splits the bytes: whole, byte by byte and cut in two at a
// place the first byte chooses all end the same way.

#include "FuzzCheck.h"
#include "companion/HttpAnswerParser.h"

#include <cstddef>
#include <cstdint>

using pylon::ExchangeFailure;
using pylon::HttpAnswerParser;
using pylon::fuzz::check;

namespace {

constexpr qsizetype maxBody = 4096;

struct Outcome {
    ExchangeFailure failure;
    QByteArray body;
    int status;
};

Outcome parse(const QByteArray& answer, qsizetype piece) {
    HttpAnswerParser parser(maxBody, QStringLiteral("127.0.0.1:1"));
    for (qsizetype at = 0; at < answer.size() && !parser.ended(); at += piece) {
        check(parser.room(piece) >= 1, "room to read until the answer ends");
        parser.feed(answer.mid(at, piece));
        check(parser.body().size() <= maxBody, "the body stays within its bound");
    }
    parser.closed();
    check(parser.ended(), "a closed connection ends the answer");
    check(parser.room(piece) == 0, "nothing more is read once ended");
    check(parser.failure() == ExchangeFailure::none || parser.body().isEmpty(), "a failure keeps no body");
    check((parser.failure() == ExchangeFailure::none) == parser.reason().isEmpty(), "a failure says why");
    return {parser.failure(), parser.body(), parser.httpStatus()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray answer(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Outcome whole = parse(answer, qMax<qsizetype>(answer.size(), 1));
    const Outcome split = parse(answer, qMax<qsizetype>(data[0] % qMax<qsizetype>(answer.size(), 1), 1));
    const Outcome bytes = parse(answer.left(4096), 1);
    check(whole.failure == split.failure && whole.body == split.body && whole.status == split.status,
          "a split answer ends as the whole one");
    if (answer.size() <= 4096)
        check(whole.failure == bytes.failure && whole.body == bytes.body, "byte by byte ends as the whole answer");
    return 0;
}
