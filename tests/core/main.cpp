#include "ControllerFixture.h"

#include <QCoreApplication>

int runControllerTests(int argc, char** argv);
int runControllerLiveSetupTests(int argc, char** argv);
int runControllerWineTests(int argc, char** argv);
int runStatusPollerTests(int argc, char** argv);
int runInstallationQueueTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    pylon::test::ControllerFixture::setUpProcess();
    return runControllerTests(argc, argv) + runControllerLiveSetupTests(argc, argv) + runControllerWineTests(argc, argv) +
           runStatusPollerTests(argc, argv) + runInstallationQueueTests(argc, argv);
}
