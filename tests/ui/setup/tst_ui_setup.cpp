#include "TemporaryHome.h"
#include "diagnostics/FileLogger.h"

#include <QApplication>

int runMenuTests(int argc, char** argv);
int runSetupPresenterTests(int argc, char** argv);
int runSetupWidgetTests(int argc, char** argv);

// The tray menu and the setup window: presenters as tables, widgets offscreen.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The process's log and build environment live in this home, set up before anything logs.
    pylon::test::TemporaryHome processHome;
    pylon::FileLogger::menubar();

    int failures = 0;
    failures += runSetupPresenterTests(argc, argv);
    failures += runSetupWidgetTests(argc, argv);
    failures += runMenuTests(argc, argv);
    pylon::FileLogger::flushShared();
    return failures;
}
