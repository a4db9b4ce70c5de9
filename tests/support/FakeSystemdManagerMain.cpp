// The fake systemd user manager as a program of its own, for runs of the real application on a
// private session bus (the CPU benchmark): `fake-systemd-manager [<unit folder>]`, by default
// `$XDG_CONFIG_HOME/systemd/user`. It ends with its parent, which started the private bus.
#include "FakeSystemdManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <csignal>
#include <sys/prctl.h>

int main(int argc, char** argv) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    QCoreApplication app(argc, argv);
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::homePath() + QStringLiteral("/.config");
    const QStringList arguments = QCoreApplication::arguments();
    pylon::test::FakeSystemdManager manager(arguments.size() > 1 ? arguments.at(1)
                                                                 : configHome + QStringLiteral("/systemd/user"));
    if (const QString failure = manager.publish(); !failure.isEmpty()) {
        QTextStream(stderr) << "fake-systemd-manager: " << failure << '\n';
        return 1;
    }
    QTextStream(stdout) << "ready" << Qt::endl;
    return QCoreApplication::exec();
}
