#include <QCoreApplication>
#include <QTest>

// The companion suites share one executable; each is a QObject run in turn.
int runCompanionManagerTests(int argc, char** argv);
int runCompanionClientTests(int argc, char** argv);
int runHttpAnswerParserTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    failures += runCompanionManagerTests(argc, argv);
    failures += runCompanionClientTests(argc, argv);
    failures += runHttpAnswerParserTests(argc, argv);
    return failures;
}
