#include "foundation/LogLine.h"

#include <QByteArrayList>
#include <QCborValue>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrl>
#include <QUuid>
#include <cmath>
#include <limits>

using namespace pylon;

namespace {

// The metadata text as the log has always written it: Qt's own JSON writer, then every "/" escaped
// and the characters that could end or disguise a line escaped over the whole text. The direct
// writer must give the same bytes for every value.
QString referenceJson(const QVariantMap& metadata) {
    QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(metadata)).toJson(QJsonDocument::Compact);
    json.replace("/", "\\/");
    return escapeLogText(QString::fromUtf8(json));
}

QString text(std::u16string_view units) {
    return QString(reinterpret_cast<const QChar*>(units.data()), qsizetype(units.size()));
}

// One value under an ordinary key and under a key that needs escaping itself, beside a neighbour
// so the separators are checked too.
QVariantMap around(const QVariant& value) {
    return {{QStringLiteral("value"), value}, {QStringLiteral("a/\n\u2028"), value}, {QStringLiteral("z"), 1}};
}

} // namespace

class LogMetadataTest : public QObject {
    Q_OBJECT
    static void row(const char* name, const QVariant& value) { QTest::newRow(name) << around(value); }

    // Strings: every escape there is, and what must stay as it is.
    static void addStringRows() {
        QString c0;
        for (char16_t c = 0; c < 0x20; ++c)
            c0 += QChar(c);
        row("C0 controls", c0);
        row("quote, backslash, slash", QStringLiteral(R"(say "hi" to C:\users\x and /home/a//b\/)"));
        row("DEL and C1", QStringLiteral("a\x7f") + QChar(0x80) + QChar(0x85) + QChar(0x9B) + QChar(0x9F) +
                              QChar(0xA0) + QStringLiteral("b"));
        row("line and paragraph separators", QStringLiteral("x\u2028y\u2029z\u2027\u202a"));
        row("newline before a space", QStringLiteral("list:\n  item\n\titem"));
        row("non-ASCII", QStringLiteral("é → ü 日本 \uFEFF \uFFFD \uFFFF"));
        row("outside the BMP", text(u"\U0001F600 \U0010FFFF \U00010000"));
        row("lone high surrogate", text(u"a\xD800") + QStringLiteral("b"));
        row("lone low surrogate", text(u"a\xDC00") + QStringLiteral("b"));
        row("high surrogate at the end", text(u"ab\xDBFF"));
        row("two high surrogates, then a low", text(u"\xD800\xD800\xDC00"));
        row("low before high", text(u"\xDC00\xD800"));
        row("empty string", QStringLiteral(""));
        row("null string", QString());
        row("long path", QStringLiteral("/home/user/Desktop/PylonDiagnostics.zip").repeated(40));
    }

    static void addNumberRows() {
        row("int", 42);
        row("int min", std::numeric_limits<int>::min());
        row("uint max", std::numeric_limits<uint>::max());
        row("int64 max", std::numeric_limits<qint64>::max());
        row("int64 min", std::numeric_limits<qint64>::min());
        row("uint64 small", QVariant::fromValue(quint64(7)));
        row("uint64 2^63 - 1", QVariant::fromValue(quint64(std::numeric_limits<qint64>::max())));
        row("uint64 2^63", QVariant::fromValue(quint64(1) << 63));
        row("uint64 max", QVariant::fromValue(std::numeric_limits<quint64>::max()));
        row("short", QVariant::fromValue(short(-3)));
        row("unsigned short", QVariant::fromValue(ushort(65535)));
        row("0.1", 0.1);
        row("1.0", 1.0);
        row("-1.5", -1.5);
        row("1e300", 1e300);
        row("-1e-300", -1e-300);
        row("5e-324", 5e-324);
        row("1e-7", 1e-7);
        row("123456.789", 123456.789);
        row("-0.0", -0.0);
        row("1e15", 1e15);
        row("9e15", 9e15);
        row("2^53", 9007199254740992.0);
        row("2^53 + 2", 9007199254740994.0);
        row("2^54", 18014398509481984.0);
        row("9.5e15", 9.5e15);
        row("1e16", 1e16);
        row("1e20", 1e20);
        row("2^62", std::ldexp(1.0, 62));
        row("-2^63", -9223372036854775808.0);
        row("2^64", 18446744073709551616.0);
        row("double max", std::numeric_limits<double>::max());
        row("NaN", std::nan(""));
        row("infinity", std::numeric_limits<double>::infinity());
        row("minus infinity", -std::numeric_limits<double>::infinity());
        row("float 0.1", 0.1f);
        row("float 1e20", 1e20f);
        row("float NaN", std::numeric_limits<float>::quiet_NaN());
    }

    // The other JSON values, containers, types JSON has no form for, and whole maps.
    static void addOtherRows() {
        row("true", true);
        row("false", false);
        row("null", QVariant::fromValue(nullptr));
        row("invalid", QVariant());

        row("empty map", QVariantMap());
        row("empty list", QVariantList());
        row("empty string list", QStringList());
        row("nested", QVariantMap{{QStringLiteral("b/"), QVariantList{1, 0.5, QStringLiteral("x\u0085"), QVariant(),
                                                                      QVariantMap{{QStringLiteral("k"), true}}}},
                                  {QStringLiteral("a"), QVariantMap{}},
                                  {QStringLiteral("c"), QStringList{QStringLiteral("/"), QString()}}});
        row("list of lists", QVariantList{QVariantList{}, QVariantList{QVariantList{-0.0, 1e300}}});
        row("hash, keys unsorted", QVariant(QVariantHash{{QStringLiteral("b"), 1},
                                                         {QStringLiteral("a"), 2},
                                                         {text(u"\U0001F600"), 3},
                                                         {QStringLiteral("\uFF01"), 4},
                                                         {QStringLiteral("A"), 5}}));

        // Types JSON has no form for: converted to what QJsonValue makes of them.
        row("bytes", QByteArray("a/b\xff\x7f"));
        row("URL", QUrl(QStringLiteral("http://x/a b?q=/")));
        row("date and time", QDateTime::fromMSecsSinceEpoch(1234, Qt::UTC));
        row("UUID", QUuid(QStringLiteral("{12345678-1234-1234-1234-123456789abc}")));
        row("character", QVariant(QChar(0x2028)));
        row("long", QVariant::fromValue(long(-3)));
        row("signed char", QVariant::fromValue<signed char>(-3));
        row("byte array list", QVariant::fromValue(QByteArrayList{"x"}));
        row("JSON value", QVariant::fromValue(QJsonValue(3.5)));
        row("CBOR value", QVariant::fromValue(QCborValue(QStringLiteral("c/\u2029"))));
        row("list holding a URL", QVariantList{QUrl(QStringLiteral("file:///tmp/x"))});

        // Whole maps.
        QTest::newRow("no metadata") << QVariantMap();
        QTest::newRow("keys in order") << QVariantMap{
            {QStringLiteral("b"), 1}, {QStringLiteral("a"), 2},      {QStringLiteral("B"), 3}, {QString(), 4},
            {text(u"\U0001F600"), 5}, {QStringLiteral("\uFF01"), 6}, {QStringLiteral("aa"), 7}};
        QTest::newRow("as the app logs") << QVariantMap{
            {QStringLiteral("path"), QStringLiteral("/home/user/Desktop/PylonDiagnostics.zip")},
            {QStringLiteral("error"), QStringLiteral("Could not write \"/tmp/x\": No space left on device")}};
    }

private slots:
    void sameBytesAsQtsWriter_data() {
        QTest::addColumn<QVariantMap>("metadata");
        addStringRows();
        addNumberRows();
        addOtherRows();
    }
    void sameBytesAsQtsWriter() {
        QFETCH(QVariantMap, metadata);
        const QString expected = referenceJson(metadata);
        QCOMPARE(logMetadataJson(metadata), expected);
        // The log line carries the same text after the message.
        const QString line = composeLogLine({}, QStringLiteral("pylon-companion"), QStringLiteral("menubar"),
                                            QStringLiteral("m"), metadata);
        QCOMPARE(line, QStringLiteral("1970-01-01T00:00:00.000Z [pylon-companion][menubar] m") +
                           (metadata.isEmpty() ? QString() : QLatin1Char(' ') + expected) + QLatin1Char('\n'));
    }

    // Whatever the strings hold, the text is one line of valid JSON that reads back to them.
    void textIsOneLineOfJson() {
        QString all;
        for (char16_t c = 0; c < 0x100; ++c)
            all += QChar(c);
        all += QStringLiteral("\u2028\u2029") + text(u"\U0001F600");
        const QVariantMap metadata{{all, all}};
        const QString json = logMetadataJson(metadata);
        for (const QChar c : json)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F && (c.unicode() < 0x80 || c.unicode() > 0x9F) &&
                         c.unicode() != 0x2028 && c.unicode() != 0x2029,
                     qPrintable(QString::number(c.unicode(), 16)));
        QCOMPARE(json.count(QLatin1Char('/')), json.count(QStringLiteral("\\/")));
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(document.object().toVariantMap(), metadata);
    }
};

QTEST_GUILESS_MAIN(LogMetadataTest)
#include "tst_logmetadata.moc"
