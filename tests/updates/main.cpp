#include <QApplication>
#include <QTest>

// The update suites share one executable; each is a QObject run in turn.
int runAppcastTests(int argc, char** argv);
int runUpdateControllerTests(int argc, char** argv);
int runUpdateDialogTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    failures += runAppcastTests(argc, argv);
    failures += runUpdateControllerTests(argc, argv);
    failures += runUpdateDialogTests(argc, argv);
    return failures;
}
