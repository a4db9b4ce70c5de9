#include "core/BuildEnvironment.h"
#include "core/CommandLine.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const pylon::BuildEnvironment& environment = pylon::BuildEnvironment::current();
    QCoreApplication::setApplicationName(environment.appDisplayName());
    QCoreApplication::setApplicationVersion(environment.appVersion());

    QTextStream out(stdout);
    QTextStream err(stderr);
    const pylon::CommandLine commandLine = pylon::parseCommandLine(QCoreApplication::arguments());
    switch (commandLine.action) {
    case pylon::CommandLine::Action::error:
        err << "Pylon: " << commandLine.errorText << "\n\n" << commandLine.helpText;
        return 2;
    case pylon::CommandLine::Action::help:
        out << commandLine.helpText;
        return 0;
    case pylon::CommandLine::Action::version:
    case pylon::CommandLine::Action::run:
        break;
    }

    out << pylon::versionLine(environment) << Qt::endl;
    return 0;
}
