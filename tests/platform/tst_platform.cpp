#include "PlatformTest.h"
#include "TestBundle.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

QByteArray plist(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">" +
           body + "</plist>\n";
}

// Equal values of equal types, all the way down (QVariant's own == converts numbers).
bool sameTyped(const QVariant& actual, const QVariant& expected) {
    if (actual.typeId() != expected.typeId())
        return false;
    if (expected.typeId() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList(), e = expected.toList();
        if (a.size() != e.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (!sameTyped(a[i], e[i]))
                return false;
        }
        return true;
    }
    if (expected.typeId() == QMetaType::QVariantMap) {
        const QVariantMap a = actual.toMap(), e = expected.toMap();
        if (a.keys() != e.keys())
            return false;
        for (auto it = e.cbegin(); it != e.cend(); ++it) {
            if (!sameTyped(a.value(it.key()), it.value()))
                return false;
        }
        return true;
    }
    if (expected.typeId() == QMetaType::QDateTime)
        return actual.toDateTime() == expected.toDateTime() && actual.toDateTime().timeSpec() == Qt::UTC;
    return actual == expected;
}

QString describe(const std::optional<QVariant>& value) {
    if (!value)
        return QStringLiteral("nothing");
    QString text;
    QDebug(&text) << *value;
    return text;
}

QString writeFile(const QString& path, const QByteArray& contents = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

const QDateTime sampleDate(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC);

} // namespace

// Property lists

void PlatformTest::parseKeepsEachValueType_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("string with entities")
        << QByteArray("<string>Pylon &amp; Live &lt;12&gt;</string>") << QVariant(QStringLiteral("Pylon & Live <12>"));
    QTest::newRow("non-ASCII string") << QByteArray("<string>Zo\xc3\xab \xe2\x9c\x93</string>")
                                      << QVariant(QStringLiteral("Zoë ✓"));
    QTest::newRow("padded string") << QByteArray("<string>  1.0  </string>") << QVariant(QStringLiteral("  1.0  "));
    QTest::newRow("empty string") << QByteArray("<string></string>") << QVariant(QString());
    QTest::newRow("blank string") << QByteArray("<string> </string>") << QVariant(QStringLiteral(" "));
    QTest::newRow("numeric-looking string") << QByteArray("<string>57</string>") << QVariant(QStringLiteral("57"));
    QTest::newRow("integer") << QByteArray("<integer>57</integer>") << QVariant(qint64(57));
    QTest::newRow("negative integer") << QByteArray("<integer>-3</integer>") << QVariant(qint64(-3));
    QTest::newRow("largest integer") << QByteArray("<integer>9223372036854775807</integer>")
                                     << QVariant(std::numeric_limits<qint64>::max());
    QTest::newRow("integer with spaces") << QByteArray("<integer>\n  7\n</integer>") << QVariant(qint64(7));
    QTest::newRow("real") << QByteArray("<real>2.5</real>") << QVariant(2.5);
    QTest::newRow("whole real") << QByteArray("<real>3</real>") << QVariant(3.0);
    QTest::newRow("true") << QByteArray("<true/>") << QVariant(true);
    QTest::newRow("false") << QByteArray("<false/>") << QVariant(false);
    QTest::newRow("UTC date") << QByteArray("<date>2024-03-05T10:20:30Z</date>") << QVariant(sampleDate);
    QTest::newRow("date with offset") << QByteArray("<date>2024-03-05T12:20:30+02:00</date>") << QVariant(sampleDate);
    QTest::newRow("data") << QByteArray("<data>SGVsbG8=</data>") << QVariant(QByteArray("Hello"));
    QTest::newRow("data over lines") << QByteArray("<data>\n\tAAEC\n\t/w==\n</data>")
                                     << QVariant(QByteArray("\x00\x01\x02\xff", 4));
    QTest::newRow("array") << QByteArray("<array><string>a</string><integer>1</integer><true/></array>")
                           << QVariant(QVariantList{QStringLiteral("a"), qint64(1), true});
    QTest::newRow("empty array") << QByteArray("<array/>") << QVariant(QVariantList{});
    QTest::newRow("nested dictionary")
        << QByteArray("<dict>\n  <key>outer</key>\n  <dict><key>n</key><integer>1</integer>"
                      "<key>list</key><array><real>0.5</real><dict/></array></dict>\n"
                      "  <key>flag</key><false/>\n</dict>")
        << QVariant(QVariantMap{
               {QStringLiteral("outer"), QVariantMap{{QStringLiteral("n"), qint64(1)},
                                                     {QStringLiteral("list"), QVariantList{0.5, QVariantMap{}}}}},
               {QStringLiteral("flag"), false}});
}

void PlatformTest::parseKeepsEachValueType() {
    QFETCH(QByteArray, body);
    QFETCH(QVariant, expected);
    const std::optional<QVariant> parsed = PropertyList::parse(plist(body));
    QVERIFY2(parsed && sameTyped(*parsed, expected), qPrintable(describe(parsed) + " != " + describe(expected)));
}

void PlatformTest::parseRefusesMalformedDocuments_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not XML") << QByteArray("CFBundleIdentifier = net.ostrand.Pylon");
    QTest::newRow("unclosed element") << plist("<dict><key>a</key><string>x</string>");
    QTest::newRow("mismatched tags") << plist("<dict><key>a</key><string>x</integer></dict>");
    QTest::newRow("no plist root") << QByteArray("<dict><key>a</key><string>x</string></dict>");
    QTest::newRow("other root") << QByteArray("<plists><dict/></plists>");
    QTest::newRow("empty plist") << plist("");
    QTest::newRow("key without value") << plist("<dict><key>a</key><string>x</string><key>b</key></dict>");
    QTest::newRow("two keys in a row") << plist("<dict><key>a</key><key>b</key><string>x</string></dict>");
    QTest::newRow("value without key") << plist("<dict><string>x</string></dict>");
    QTest::newRow("unknown root element") << plist("<float>1.5</float>");
    QTest::newRow("unknown element in a dictionary") << plist("<dict><key>a</key><nil/></dict>");
    QTest::newRow("unknown element in an array") << plist("<array><string>a</string><uid>1</uid></array>");
    QTest::newRow("non-numeric integer") << plist("<integer>12a</integer>");
    QTest::newRow("empty integer") << plist("<integer></integer>");
    QTest::newRow("fractional integer") << plist("<integer>1.5</integer>");
    QTest::newRow("integer beyond 64 bits") << plist("<integer>9223372036854775808</integer>");
    QTest::newRow("non-numeric real") << plist("<real>fast</real>");
    QTest::newRow("bad date") << plist("<date>yesterday</date>");
    QTest::newRow("bad value deep inside")
        << plist("<dict><key>a</key><array><dict><key>b</key><integer>x</integer></dict></array></dict>");
    QTest::newRow("100000 nested arrays")
        << plist(QByteArray("<array>").repeated(100000) + QByteArray("</array>").repeated(100000));
}

void PlatformTest::parseRefusesMalformedDocuments() {
    QFETCH(QByteArray, document);
    const std::optional<QVariant> parsed = PropertyList::parse(document);
    QVERIFY2(!parsed, qPrintable(describe(parsed)));
}

void PlatformTest::serializedValuesParseBackWithTheirTypes() {
    const QVariantMap value{
        {QStringLiteral("CFBundleIdentifier"), QStringLiteral("net.ostrand.Pylon")},
        {QStringLiteral("text with markup"), QStringLiteral("<a href=\"x\">&amp;</a> ' Zoë")},
        {QStringLiteral("empty text"), QString()},
        {QStringLiteral("padded text"), QStringLiteral(" 2.1.0 ")},
        {QStringLiteral("blank text"), QStringLiteral(" \n\t ")},
        {QStringLiteral("CFBundleVersion"), qint64(57)},
        {QStringLiteral("negative"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("real"), 0.1},
        {QStringLiteral("yes"), true},
        {QStringLiteral("no"), false},
        {QStringLiteral("date"), sampleDate},
        {QStringLiteral("bytes"), QByteArray("\x00\xff\x10 binary", 10)},
        {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qint64(2), QVariantList{}, QVariantMap{}}},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("k&<>"), QVariantMap{{QStringLiteral("deep"), 1.5}}}}},
    };
    const QByteArray document = PropertyList::serialize(value);
    const std::optional<QVariant> parsed = PropertyList::parse(document);
    QVERIFY2(parsed && sameTyped(*parsed, value), document.constData());
}

// Bundles

void PlatformTest::bundlePathIsFoundFromTheExecutable_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("bundle");
    QTest::newRow("application bundle") << QStringLiteral("Pylon.app/Contents/MacOS/Pylon")
                                        << QStringLiteral("Pylon.app");
    QTest::newRow("bundle inside a bundle")
        << QStringLiteral("Pylon.app/Contents/Helpers/x86_64/Pylon Companion.app/Contents/MacOS/Pylon Companion")
        << QStringLiteral("Pylon.app/Contents/Helpers/x86_64/Pylon Companion.app");
    QTest::newRow("bare executable") << QStringLiteral("bin/pylon") << QStringLiteral("bin");
    QTest::newRow("not in MacOS") << QStringLiteral("Odd.app/Contents/Resources/tool")
                                  << QStringLiteral("Odd.app/Contents/Resources");
    QTest::newRow("MacOS without Contents") << QStringLiteral("Loose/MacOS/tool") << QStringLiteral("Loose/MacOS");
}

void PlatformTest::bundlePathIsFoundFromTheExecutable() {
    QFETCH(QString, executable);
    QFETCH(QString, bundle);
    QTemporaryDir dir;
    const QString executablePath = writeFile(dir.filePath(executable), "#!/bin/sh\n");
    QCOMPARE(Bundle::bundlePathForExecutable(executablePath), QDir::cleanPath(dir.filePath(bundle)));
}

void PlatformTest::bundleReadsIdentifierAndTypedInfo() {
    QTemporaryDir dir;
    QVariantMap info = bundleInfo(QStringLiteral("net.ostrand.Pylon-Dev"), QStringLiteral("2.1.0"), QString());
    info.insert(QStringLiteral("CFBundleVersion"), qint64(57));
    info.insert(QStringLiteral("LSUIElement"), true);
    const QString path = makeBundle(dir.path(), QStringLiteral("Pylon-Dev"), info);

    const Bundle bundle = Bundle::atPath(path + QStringLiteral("/"));
    QCOMPARE(bundle.bundlePath(), path);
    QCOMPARE(bundle.contentsPath(), path + QStringLiteral("/Contents"));
    QCOMPARE(bundle.identifier(), QStringLiteral("net.ostrand.Pylon-Dev"));
    QVERIFY(bundle.infoDictionary());
    QVERIFY(sameTyped(*bundle.infoDictionary(), info));
    const std::optional<QVariant> build = bundle.infoValue(QStringLiteral("CFBundleVersion"));
    QVERIFY(build);
    QCOMPARE(build->typeId(), QMetaType::LongLong);
    QCOMPARE(build->toLongLong(), 57);
    QCOMPARE(bundle.infoValue(QStringLiteral("CFBundleShortVersionString")), QVariant(QStringLiteral("2.1.0")));
    QCOMPARE(bundle.infoValue(QStringLiteral("CFBundleName")), std::nullopt);
}

void PlatformTest::unreadableInfoPlistMeansNoIdentifierAndNoInfo_data() {
    QTest::addColumn<QByteArray>("infoPlist"); // empty: no file at all
    const QByteArray valid = PropertyList::serialize(
        bundleInfo(QStringLiteral("net.ostrand.Pylon"), QStringLiteral("1.0.0"), QStringLiteral("1")));
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x00\xff\xfe not a property list", 26);
    QTest::newRow("truncated") << valid.left(valid.size() - 20);
    QTest::newRow("array root") << plist("<array><string>net.ostrand.Pylon</string></array>");
    QTest::newRow("string root") << plist("<string>net.ostrand.Pylon</string>");
    QTest::newRow("bad value") << plist("<dict><key>CFBundleIdentifier</key><string>net.ostrand.Pylon</string>"
                                        "<key>CFBundleVersion</key><integer>one</integer></dict>");
}

void PlatformTest::unreadableInfoPlistMeansNoIdentifierAndNoInfo() {
    QFETCH(QByteArray, infoPlist);
    QTemporaryDir dir;
    const QString path = makeBundleWithInfoText(dir.path(), QStringLiteral("Pylon"), infoPlist);
    writeFile(path + QStringLiteral("/Contents/Resources/Pylon.zip"), "PK");

    const Bundle bundle = Bundle::atPath(path);
    QCOMPARE(bundle.identifier(), std::nullopt);
    QCOMPARE(bundle.infoDictionary(), std::nullopt);
    QCOMPARE(bundle.infoValue(QStringLiteral("CFBundleIdentifier")), std::nullopt);
    QCOMPARE(bundle.bundlePath(), path);
    QCOMPARE(bundle.resourcePath(QStringLiteral("Pylon"), QStringLiteral("zip")),
             path + QStringLiteral("/Contents/Resources/Pylon.zip"));
}

void PlatformTest::identifierMustBeANonEmptyString_data() {
    QTest::addColumn<QVariant>("identifier");
    QTest::newRow("empty string") << QVariant(QString());
    QTest::newRow("integer") << QVariant(qint64(1));
    QTest::newRow("array") << QVariant(QVariantList{QStringLiteral("net.ostrand.Pylon")});
}

void PlatformTest::identifierMustBeANonEmptyString() {
    QFETCH(QVariant, identifier);
    QTemporaryDir dir;
    const QString path =
        makeBundle(dir.path(), QStringLiteral("Pylon"), {{QStringLiteral("CFBundleIdentifier"), identifier}});
    const Bundle bundle = Bundle::atPath(path);
    QVERIFY(bundle.infoDictionary());
    QCOMPARE(bundle.identifier(), std::nullopt);
}

void PlatformTest::resourcesAreFoundByNameAndExtension() {
    QTemporaryDir dir;
    const QString path =
        makeBundle(dir.path(), QStringLiteral("Pylon"),
                   bundleInfo(QStringLiteral("net.ostrand.Pylon"), QStringLiteral("1.0.0"), QStringLiteral("1")));
    const QString resources = path + QStringLiteral("/Contents/Resources/");
    writeFile(resources + QStringLiteral("Pylon.zip"), "PK");
    writeFile(resources + QStringLiteral("LICENSE"), "text");

    const Bundle bundle = Bundle::atPath(path);
    QCOMPARE(bundle.resourcePath(QStringLiteral("Pylon"), QStringLiteral("zip")),
             resources + QStringLiteral("Pylon.zip"));
    QCOMPARE(bundle.resourcePath(QStringLiteral("LICENSE"), QString()), resources + QStringLiteral("LICENSE"));
    QCOMPARE(bundle.resourcePath(QStringLiteral("Pylon"), QStringLiteral("tar")), std::nullopt);
    QCOMPARE(bundle.resourcePath(QStringLiteral("Missing"), QStringLiteral("zip")), std::nullopt);
    QCOMPARE(bundle.resourcePath(QStringLiteral("Pylon"), QString()), std::nullopt);

    const Bundle elsewhere = Bundle::atPath(dir.filePath(QStringLiteral("Absent.app")));
    QCOMPARE(elsewhere.resourcePath(QStringLiteral("Pylon"), QStringLiteral("zip")), std::nullopt);
}

QTEST_GUILESS_MAIN(PlatformTest)
