#include "DiagnosticsReportTest.h"
#include "diagnostics/LogProcessor.h"
#include "diagnostics/LogTail.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;

namespace {

const QString home = QStringLiteral("/home/tester");

LogProcessor processorFor(const QString& homeDirectory = home, int maxLines = 500, qint64 blockSize = 64 * 1024) {
    LogProcessingConfig config;
    config.homeDirectory = homeDirectory;
    config.maxLogLines = maxLines;
    config.tailBlockSize = blockSize;
    return LogProcessor(config);
}

QString writeTemp(const QTemporaryDir& dir, const QByteArray& bytes, const QString& name = QStringLiteral("x.log")) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The rule the tail reader must match, done the plain way: decode the whole file, split it at
// every line end, keep the last lines.
std::optional<QStringList> wholeFileRule(const QByteArray& bytes, int maxLines) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    static const QRegularExpression lineEnd(QStringLiteral("[\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
    const QStringList lines = text.split(lineEnd);
    return lines.mid(std::max<qsizetype>(0, lines.size() - maxLines));
}

// Text pieces for generated logs: every line end, characters whose UTF-8 shares bytes with the
// multi-byte line ends (U+2027 and U+202A sit next to U+2028/U+2029; U+2085, U+20A8, U+0145 and
// U+0628 carry 0x85 or 0xA8 as a continuation byte; U+00A0 starts with 0xC2), and four-byte ones.
const QStringList pieces = {
    QStringLiteral("ab"),         QStringLiteral("2025-03-04T09:15:02.481Z [pylon-companion][osc] "),
    QStringLiteral("\n"),         QStringLiteral("\r"),
    QStringLiteral("\r\n"),       QStringLiteral("\v"),
    QStringLiteral("\f"),         QStringLiteral("\u0085"),
    QStringLiteral("\u2028"),     QStringLiteral("\u2029"),
    QStringLiteral("\u2027"),     QStringLiteral("\u202A"),
    QStringLiteral("\u2085"),     QStringLiteral("\u20A8"),
    QStringLiteral("\u0145"),     QStringLiteral("\u0628"),
    QStringLiteral("\u00A0"),     QStringLiteral("\u00E9"),
    QStringLiteral("\U0001F600"), QStringLiteral("\U0001D7D8"),
    QStringLiteral("\uFEFF"),     QStringLiteral("/Users/x (pid 1)")};

QByteArray generatedLog(quint32 seed, int pieceCount) {
    QRandomGenerator random(seed);
    QString text;
    for (int i = 0; i < pieceCount; ++i)
        text += pieces.at(random.bounded(int(pieces.size())));
    return text.toUtf8();
}

} // namespace

void DiagnosticsReportTest::splitsAtEveryLineSeparator_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty text is one empty line") << QString() << QStringList{QString()};
    QTest::newRow("no line end") << QStringLiteral("abc") << QStringList{QStringLiteral("abc")};
    QTest::newRow("final line feed") << QStringLiteral("a\n") << QStringList{QStringLiteral("a"), QString()};
    QTest::newRow("CR LF is two ends") << QStringLiteral("a\r\nb")
                                       << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    QTest::newRow("LF CR is two ends") << QStringLiteral("a\n\rb")
                                       << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    const std::pair<const char*, char16_t> ends[] = {{"LF", 0x0A},  {"VT", 0x0B},   {"FF", 0x0C},  {"CR", 0x0D},
                                                     {"NEL", 0x85}, {"LS", 0x2028}, {"PS", 0x2029}};
    for (const auto& [name, end] : ends) {
        QTest::addRow("%s", name) << QStringLiteral("x") + QChar(end) + QStringLiteral("y")
                                  << QStringList{QStringLiteral("x"), QStringLiteral("y")};
    }
    QTest::newRow("not line ends") << QStringLiteral("a\tb\u2027c\u202Ad\u00A0e\u0000f")
                                   << QStringList{QStringLiteral("a\tb\u2027c\u202Ad\u00A0e\u0000f")};
}

void DiagnosticsReportTest::splitsAtEveryLineSeparator() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitLogLines(text), lines);
    QTemporaryDir dir;
    QCOMPARE(readLastLogLines(writeTemp(dir, text.toUtf8()), 1000, 1), std::optional<QStringList>(lines));
}

void DiagnosticsReportTest::tailReaderEqualsWholeFileRule_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("blockSize");

    // Line ends and multi-byte characters cut by a block edge at each of their inner positions.
    const QByteArray cuts[] = {"aaa\r\nbbb\r\n", "xx\xe2\x80\xa8yy\xe2\x80\xa9zz", "x\xc2\x85y\xc2\x85",
                               "\xf0\x9f\x98\x80\n\xf0\x9f\x98\x80\n\xe2\x80\xa7\n", "\xc2\xa0\xe2\x82\x85\n\xd8\xa8"};
    int row = 0;
    for (const QByteArray& bytes : cuts) {
        for (int blockSize = 1; blockSize <= 5; ++blockSize) {
            for (int maxLines : {1, 2, 3, 50})
                QTest::addRow("cut %d block %d keep %d", row, blockSize, maxLines) << bytes << maxLines << blockSize;
        }
        ++row;
    }
    for (quint32 seed = 1; seed <= 12; ++seed) {
        const QByteArray bytes = generatedLog(seed, 300);
        for (int blockSize : {1, 2, 3, 7, 64, 65536}) {
            for (int maxLines : {1, 5, 40, 500})
                QTest::addRow("seed %u block %d keep %d", seed, blockSize, maxLines) << bytes << maxLines << blockSize;
        }
    }
    QTest::newRow("empty file") << QByteArray() << 500 << 3;
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n\r") << 3 << 1;
    QTest::newRow("keep nothing") << QByteArray("a\nb") << 0 << 1;
}

void DiagnosticsReportTest::tailReaderEqualsWholeFileRule() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxLines);
    QFETCH(int, blockSize);
    QTemporaryDir dir;
    const QString path = writeTemp(dir, bytes);
    const std::optional<QStringList> expected = wholeFileRule(bytes, maxLines);
    QVERIFY(expected);
    QCOMPARE(readLastLogLines(path, maxLines, blockSize), expected);

    // The whole processing agrees too: summary and lines built from the plainly read lines.
    const LogProcessor processor = processorFor(home, maxLines, blockSize);
    const QStringList processed = processor.processLines(*expected);
    QCOMPARE(processor.processLogFile(path, true),
             std::optional<QString>(processor.summary(processed) + processed.join(QLatin1Char('\n'))));
}

void DiagnosticsReportTest::bytesBeforeTheKeptLinesAreNeverDecoded() {
    // The head is not UTF-8; while the kept lines end before it, the file is usable.
    QByteArray bytes = "\xff\xfe broken head\n";
    for (int i = 1; i <= 10; ++i)
        bytes += "line " + QByteArray::number(i) + "\n";
    QTemporaryDir dir;
    const QString path = writeTemp(dir, bytes);
    const std::optional<QStringList> tail = readLastLogLines(path, 5, 4);
    QVERIFY(tail);
    QCOMPARE(*tail, (QStringList{QStringLiteral("line 7"), QStringLiteral("line 8"), QStringLiteral("line 9"),
                                 QStringLiteral("line 10"), QString()}));
    // Reaching into the head reads it, and then the file is refused.
    QCOMPARE(readLastLogLines(path, 12, 4), std::nullopt);
}

void DiagnosticsReportTest::unusableLogGivesNothing_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty: no file is written
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("a folder") << QByteArray() << true;
    QTest::newRow("invalid byte") << QByteArray("ok\n\xff\n") << false;
    QTest::newRow("cut multi-byte end") << QByteArray("ok\n\xe2\x80") << false;
    QTest::newRow("overlong encoding") << QByteArray("\xc0\xaf\n") << false;
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("lone continuation byte") << QByteArray("a\x85") << false;
}

void DiagnosticsReportTest::unusableLogGivesNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, asFolder);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("pylon-companion.log"));
    if (asFolder)
        QVERIFY(QDir().mkpath(path));
    else if (!bytes.isEmpty())
        path = writeTemp(dir, bytes);
    for (qint64 blockSize : {1, 65536}) {
        const LogProcessor processor = processorFor(home, 500, blockSize);
        QCOMPARE(processor.processLogFile(path, true), std::nullopt);
        QCOMPARE(processor.processLogFile(path, false), std::nullopt);
    }
}

void DiagnosticsReportTest::longLogContributesItsLastLines() {
    QByteArray bytes;
    for (int i = 1; i <= 1999; ++i)
        bytes += "line " + QByteArray::number(i) + "\n"; // with the final empty line: 2,000 lines
    QTemporaryDir dir;
    const QString path = writeTemp(dir, bytes);
    for (qint64 blockSize : {7, 65536}) {
        const std::optional<QString> text = processorFor(home, 500, blockSize).processLogFile(path, false);
        QVERIFY(text);
        const QStringList lines = text->split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 500);
        QCOMPARE(lines.constFirst(), QStringLiteral("line 1501"));
        QCOMPARE(lines.at(498), QStringLiteral("line 1999"));
        QCOMPARE(lines.constLast(), QString());
    }
}
