#include <QCoreApplication>

// The diagnostics suites share one executable; each is a QObject run in turn.
int runDiagnosticsReportTests(int argc, char** argv);
int runReportSafetyTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += runDiagnosticsReportTests(argc, argv);
    failures += runReportSafetyTests(argc, argv);
    return failures;
}
