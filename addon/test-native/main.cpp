// One executable for the native tests of the accelerator module; each suite is its own QObject.

#include <QtTest>

int runAcceleratorCoreTest(int argc, char** argv);
int runLiveProcessTest(int argc, char** argv);
int runModuleEntryPointsTest(int argc, char** argv);

int main(int argc, char** argv) {
    int failures = 0;
    failures += runAcceleratorCoreTest(argc, argv);
    failures += runLiveProcessTest(argc, argv);
    failures += runModuleEntryPointsTest(argc, argv);
    return failures == 0 ? 0 : 1;
}
