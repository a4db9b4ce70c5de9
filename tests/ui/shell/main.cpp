#include "ShellSupport.h"
#include "TemporaryHome.h"

#include <QApplication>
#include <QTest>
#include <cstring>

// HOME and the temporary folder move into a throw-away home before anything reads them, so the
// suites' services, logs and instance sockets, and those of the processes they start, live there.
int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], pylon::test::singleInstanceHelperArgument) == 0)
        return pylon::test::runSingleInstanceHelper(argc, argv);

    pylon::test::TemporaryHome processHome;
    qputenv("TMPDIR", processHome.path().toLocal8Bit());
    qputenv("PYLON_SERVICE_BACKEND", "process");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int failures = 0;
    for (const auto& make : {makeUrlAndUninstallTest, makeSingleInstanceTest, makeSaveReportTest, makeTraylessTest, makeFirstRunTest,
                              makeLoginStartItemTest})
        failures += QTest::qExec(make().get(), argc, argv);
    return failures == 0 ? 0 : 1;
}
