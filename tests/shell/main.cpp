#include "ShellSupport.h"
#include "TemporaryHome.h"

#include "diagnostics/FileLogger.h"

#include <QApplication>
#include <QTest>
#include <cstring>

// Runs the shell suites in one process. Before anything reads the environment, HOME moves to a
// temporary folder for the whole run, so the application services built by the first-run suite
// take their folders, settings and shared log from there.
int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], pylon::test::singleInstanceHelperArgument) == 0)
        return pylon::test::runSingleInstanceHelper(argc, argv);

    pylon::test::TemporaryHome processHome;
    qputenv("PYLON_SERVICE_BACKEND", "process");
    QApplication application(argc, argv);
    pylon::FileLogger::menubar();
    int failures = 0;
    for (const auto& make : {makeUrlHandlerTest, makeUninstallCleanupTest, makeSingleInstanceTest, makeFirstRunTest}) {
        const std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    pylon::FileLogger::flushShared();
    return failures == 0 ? 0 : 1;
}
