// The application's side of one status poll: the HTTP exchange with a loopback server, decoding
// and the model update, as the polling loop does four times a second during start-up.
#include "foundation/BuildEnvironment.h"
#include "foundation/Clock.h"
#include "core/Process.h"
#include "core/PylonController.h"
#include "platform/Bundle.h"
#include "platform/ServiceManager.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

namespace {

const QByteArray statusBody = R"({"ableton":{"condition":"connected","version":"12.1.5","oscLatencyMs":3.2},)"
                              R"("bonjour":{"condition":"advertising"},"companion":{"abletonInstances":[],)"
                              R"("clientCount":1,"condition":"running","host":{"addresses":["192.168.1.20"],)"
                              R"("hostname":"studio"},"isAcceleratorAddonLoaded":true,"isAcceleratorAvailable":true,)"
                              R"("permissions":{"accessibility":true,"automation":true},"sessionId":"s","version":"1.0.0"}})";

// Answers every request on a connection with the status document, keeping the connection open.
class LoopbackCompanion : public QObject {
public:
    LoopbackCompanion() {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    const QByteArray request = socket->readAll();
                    for (qsizetype at = request.indexOf("\r\n\r\n"); at >= 0;
                         at = request.indexOf("\r\n\r\n", at + 4)) {
                        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                      QByteArray::number(statusBody.size()) + "\r\n\r\n" + statusBody);
                    }
                });
            }
        });
    }
    QTcpServer server;
};

class QuietServices final : public pylon::ServiceManager {
public:
    QString backendName() const override { return QStringLiteral("bench"); }
    qint64 status() override { return enabled; }
    QCoro::Task<qint64> queryStatus() override { co_return enabled; }
    QCoro::Task<> registerAgent() override { co_return; }
    QCoro::Task<> unregisterAgent() override { co_return; }
    void openLoginItemsSettings() override {}
    QCoro::Task<> kickstart(Kickstart) override { co_return; }
};

class NoWorkspace final : public pylon::Workspace {
public:
    bool openUrl(const QUrl&) override { return false; }
    bool openFile(const QString&) override { return false; }
    bool revealFile(const QString&) override { return false; }
};

void BM_OnePoll(benchmark::State& state) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    LoopbackCompanion companion;
    const pylon::BuildEnvironment environment(pylon::Bundle::atPath(home.path()).facts(), QStringLiteral("x86_64"),
                                              home.path());
    pylon::UserDefaults defaults(QStringLiteral("bench"), home.path());
    QuietServices services;
    NoWorkspace workspace;
    pylon::SteadyClock clock;
    pylon::PylonController controller(
        pylon::ControllerContext{environment, defaults, services, workspace, clock, pylon::process::loggers(), {}, companion.server.serverPort()});
    for (auto _ : state)
        QCoro::waitFor(controller.pollOnce());
    if (!controller.dynamicStatus().lastResponse())
        state.SkipWithError("no status arrived");
}
BENCHMARK(BM_OnePoll)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
