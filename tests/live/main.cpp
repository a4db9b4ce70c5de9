#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTest>

// The Live-setup suites share one executable; each is a QObject run in turn.
int runLiveDiscoveryTests(int argc, char** argv);
int runLiveInstallTests(int argc, char** argv);
int runLiveScriptTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Debug lines of the manager's logger reach the message handler, so their level can be checked.
    QLoggingCategory::setFilterRules(QStringLiteral("test.pylon.installer.debug=true"));
    int failures = 0;
    failures += runLiveDiscoveryTests(argc, argv);
    failures += runLiveInstallTests(argc, argv);
    failures += runLiveScriptTests(argc, argv);
    return failures;
}
