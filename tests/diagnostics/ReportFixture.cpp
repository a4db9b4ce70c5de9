#include "ReportFixture.h"

#include "TestBundle.h"
#include "platform/Bundle.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <stdexcept>

namespace pylon::test {

namespace {

BuildEnvironment environmentIn(const TemporaryHome& home, const QString& identifier) {
    const QVariantMap info = bundleInfo(identifier, QStringLiteral("1.2.3"), QStringLiteral("45"));
    return BuildEnvironment(Bundle::atPath(makeBundle(home.path(), QStringLiteral("Pylon"), info)),
                            QStringLiteral("x86_64"), home.dataHome());
}

QByteArray runUnzip(const QStringList& arguments) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), arguments);
    if (!unzip.waitForFinished(30000) || unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0)
        return QByteArrayLiteral("<unzip failed>");
    return unzip.readAllStandardOutput();
}

} // namespace

ReportFixture::ReportFixture(const QString& bundleIdentifier)
    : environment(environmentIn(home, bundleIdentifier))
    , defaults(bundleIdentifier, home.path() + QStringLiteral("/defaults"))
    , status(defaults)
    , writer(home.path() + QStringLiteral("/test-logs"), home.path() + QStringLiteral("/test-logs/menubar.log"))
    , log(QStringLiteral("menubar"), bundleIdentifier, writer) {
    QDir().mkpath(temporaryDirectory());
}

DiagnosticReporter::Options ReportFixture::options() const {
    DiagnosticReporter::Options options;
    options.homeDirectory = home.path();
    options.temporaryDirectory = temporaryDirectory();
    options.now = [this] { return time; };
    return options;
}

void ReportFixture::setFullStatus() {
    StatusResponse response;
    response.companion = {{}, 3, CompanionCondition::running, {}, true, false, {true, false}, {}, "2.0.1"};
    response.ableton.condition = AbletonCondition::connected;
    response.ableton.version = QStringLiteral("12.1.5");
    response.ableton.displayName = QStringLiteral("Live 12 Suite");
    response.ableton.remoteScriptVersion = QStringLiteral("1.4.0");
    response.bonjour = {BonjourCondition::error, QStringLiteral("name conflict")};
    status.setLastResponse(response);
    status.setIsStarting(false);
}

void ReportFixture::setTwoVersions() {
    const QString library = home.path() + QStringLiteral("/Music/Ableton/User Library");
    versions = {{library, "12", "Live 12 User Library", library, library, true},
                {"no-library-11", "11", "Live 11", std::nullopt, std::nullopt, false}};
}

QStringList ReportFixture::loggedLines() {
    writer.flush();
    QStringList lines;
    const QString text = QString::fromUtf8(readFile(home.path() + QStringLiteral("/test-logs/menubar.log")));
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << line.section(QLatin1Char(' '), 1);
    return lines;
}

QStringList ReportFixture::temporaryEntries() const {
    return QDir(temporaryDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

QCoro::Task<std::optional<QString>> FakeSaveLocation::chooseLocation(QString suggestedFileName) {
    suggestedNames << suggestedFileName;
    if (failure)
        throw std::runtime_error(failure->toStdString());
    co_return m_answer;
}

QStringList unzipListing(const QString& archive) {
    // Between the two dashed rules: "  <length>  <date> <time>   <name>".
    static const QRegularExpression entry(QStringLiteral("^\\s*\\d+\\s+\\S+\\s+\\S+\\s+(.+)$"));
    const QStringList lines = QString::fromUtf8(runUnzip({QStringLiteral("-l"), archive})).split(QLatin1Char('\n'));
    const qsizetype first = lines.indexOf(QRegularExpression(QStringLiteral("-+ .*"))); // an exact match
    QStringList names;
    for (qsizetype i = first + 1; first >= 0 && i < lines.size() && !lines[i].startsWith(QLatin1Char('-')); ++i)
        names << entry.match(lines[i]).captured(1);
    names.sort();
    return names;
}

QByteArray unzipMember(const QString& archive, const QString& member) {
    return runUnzip({QStringLiteral("-p"), archive, member});
}

} // namespace pylon::test
