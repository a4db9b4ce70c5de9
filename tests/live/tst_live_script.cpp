#include "LiveFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

// Loads the package straight from the archive (zipimport), as Live would from "Remote Scripts",
// creates one instance with a recording c_instance, and prints what it logged.
const char* const loader = R"(
import sys
archive, framework = sys.argv[1], sys.argv[2]
if framework:
    sys.path.insert(0, framework)
sys.path.insert(0, archive)
import Pylon
assert Pylon.__file__.startswith(archive), Pylon.__file__

class CInstance(object):
    def __init__(self):
        self.lines = []
    def log_message(self, message):
        self.lines.append(message)

c_instance = CInstance()
surface = Pylon.create_instance(c_instance)
if framework:
    from _Framework.ControlSurface import ControlSurface
    assert isinstance(surface, ControlSurface)
surface.disconnect()
print(repr(c_instance.lines))
)";

// A stand-in for the framework that Live provides to its control scripts.
const char* const fakeFramework = R"(
class ControlSurface(object):
    def __init__(self, c_instance):
        self._c_instance = c_instance
    def log_message(self, *message):
        self._c_instance.log_message("(framework) " + " ".join(message))
    def disconnect(self):
        pass
)";

} // namespace

class LiveScriptTest : public QObject {
    Q_OBJECT
private slots:
    void bothBundlesShipTheListedSourcesUnderOneTopLevelFolder() {
        QStringList sources = QDir(QStringLiteral(PYLON_REMOTE_SCRIPT_SOURCE_DIR))
                                  .entryList({QStringLiteral("*.py")}, QDir::Files, QDir::Name);
        QVERIFY(!sources.isEmpty());
        QStringList expected{"Pylon/"};
        for (const QString& source : sources)
            expected << QStringLiteral("Pylon/") + source;
        expected.sort();

        for (const char* bundle : {PYLON_PRODUCTION_BUNDLE_DIR, PYLON_DEVELOPMENT_BUNDLE_DIR}) {
            const QString archive = QString::fromUtf8(bundle) + QStringLiteral("/Contents/Resources/Pylon.zip");
            QStringList names = zipEntryNames(archive);
            names.sort();
            QCOMPARE(names, expected);
        }
        QCOMPARE(readFile(QStringLiteral(PYLON_DEVELOPMENT_BUNDLE_DIR "/Contents/Resources/Pylon.zip")),
                 readFile(builtArchivePath()));
    }

    void controlScriptLoadsAndLogsOneLine_data() {
        QTest::addColumn<bool>("insideLive");
        QTest::addColumn<QString>("logged");
        QTest::newRow("with Live's framework") << true << "['(framework) Pylon control script loaded']";
        QTest::newRow("without it") << false << "['Pylon control script loaded']";
    }
    void controlScriptLoadsAndLogsOneLine() {
        QFETCH(bool, insideLive);
        QFETCH(QString, logged);
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        LiveFixture f;
        QString framework;
        if (insideLive) {
            framework = f.home.path() + QStringLiteral("/framework");
            f.home.writeFile(QStringLiteral("framework/_Framework/__init__.py"), "");
            f.home.writeFile(QStringLiteral("framework/_Framework/ControlSurface.py"), fakeFramework);
        }
        QProcess process;
        process.start(python, {QStringLiteral("-B"), QStringLiteral("-c"), QString::fromUtf8(loader),
                               builtArchivePath(), framework});
        QVERIFY(process.waitForFinished(60000));
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, errors.constData());
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), logged);
    }
};

int runLiveScriptTests(int argc, char** argv) {
    LiveScriptTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_live_script.moc"
