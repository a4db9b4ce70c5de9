// The application's side of one status poll as the polling loop makes it four times a second during
// start-up: the HTTP exchange with the companion, decoding, the model update, the status cache and
// the registration flags from the real process service backend (its status() looks at the bundle's
// launch-agent plist and the registration file each time). The companion stand-in is a separate
// process, so the CPU counted (the whole process's: the GUI thread and Qt's network thread) is the
// application's alone.
//
// Floor: a minimal Qt program doing the same GET and decode: one QNetworkAccessManager, the reply
// read and parsed with QJsonDocument, awaited in the same kind of event loop.
#include "BenchTable.h"
#include "core/PylonController.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/Clock.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/linux/ProcessServiceManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <qcoro/qcorotask.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string statusBody =
    R"({"ableton":{"condition":"connected","version":"12.1.5","oscLatencyMs":3.2},)"
    R"("bonjour":{"condition":"advertising"},"companion":{"abletonInstances":[],)"
    R"("clientCount":1,"condition":"running","host":{"addresses":["192.168.1.20"],)"
    R"("hostname":"studio"},"isAcceleratorAddonLoaded":true,"isAcceleratorAvailable":true,)"
    R"("permissions":{"accessibility":true,"automation":true},"sessionId":"s","version":"1.0.0"}})";

// Answers every request on every kept-alive connection with the status document, until killed.
[[noreturn]] void serveStatus(int listener) {
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
                               std::to_string(statusBody.size()) + "\r\n\r\n" + statusBody;
    std::vector<pollfd> sockets{{listener, POLLIN, 0}};
    std::vector<std::string> pending{""};
    for (;;) {
        if (::poll(sockets.data(), sockets.size(), -1) < 0)
            continue;
        for (std::size_t i = sockets.size(); i-- > 1;) {
            if (!sockets[i].revents)
                continue;
            char buffer[4096];
            const ssize_t count = ::read(sockets[i].fd, buffer, sizeof buffer);
            if (count <= 0) {
                ::close(sockets[i].fd);
                sockets.erase(sockets.begin() + std::ptrdiff_t(i));
                pending.erase(pending.begin() + std::ptrdiff_t(i));
                continue;
            }
            pending[i].append(buffer, std::size_t(count));
            for (std::size_t end; (end = pending[i].find("\r\n\r\n")) != std::string::npos;) {
                pending[i].erase(0, end + 4);
                [[maybe_unused]] const ssize_t written = ::write(sockets[i].fd, answer.data(), answer.size());
            }
        }
        if (sockets[0].revents & POLLIN) {
            if (const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); client >= 0) {
                sockets.push_back({client, POLLIN, 0});
                pending.emplace_back();
            }
        }
    }
}

// The companion stand-in: a child process on a loopback port of its own, killed with the parent.
// Started before the benchmark's threads exist.
class CompanionProcess {
public:
    CompanionProcess() {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length))
            return;
        m_port = ntohs(address.sin_port);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            serveStatus(listener);
        }
        ::close(listener);
    }
    ~CompanionProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CompanionProcess(const CompanionProcess&) = delete;
    CompanionProcess& operator=(const CompanionProcess&) = delete;

    // 0 when it could not be started.
    quint16 port() const { return m_pid > 0 ? m_port : 0; }

private:
    quint16 m_port = 0;
    pid_t m_pid = -1;
};

CompanionProcess* companion = nullptr;

class NoWorkspace final : public pylon::Workspace {
public:
    bool openUrl(const QUrl&) override { return false; }
    bool openFile(const QString&) override { return false; }
    bool revealFile(const QString&) override { return false; }
};

// A development bundle folder with only its Info.plist, in `parent`.
QString makeBundle(const QString& parent) {
    const QString bundle = parent + QStringLiteral("/Pylon-Dev.app");
    QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS"));
    QFile info(bundle + QStringLiteral("/Contents/Info.plist"));
    if (info.open(QIODevice::WriteOnly)) {
        info.write(pylon::PropertyList::serialize(
            QVariantMap{{QStringLiteral("CFBundleIdentifier"), QStringLiteral("net.ostrand.Pylon-Dev")},
                        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0.0")},
                        {QStringLiteral("CFBundleVersion"), QStringLiteral("1")}}));
    }
    return bundle;
}

// A controller as the application builds it, in a temporary home, with the process service backend
// over a bundle whose launch agent is registered (without starting anything: no RunAtLoad).
struct PollFixture {
    QTemporaryDir home;
    QString dataHome = home.path() + QStringLiteral("/data");
    pylon::LogWriter writer{dataHome + QStringLiteral("/logs"), dataHome + QStringLiteral("/logs/pylon-menubar.log")};
    pylon::FileLogger menubar{QStringLiteral("menubar"), QStringLiteral("net.ostrand.Pylon-Dev"), writer};
    pylon::FileLogger installer{QStringLiteral("installer"), QStringLiteral("net.ostrand.Pylon-Dev"), writer};
    pylon::FileLogger manager{QStringLiteral("companion-manager"), QStringLiteral("net.ostrand.Pylon-Dev"), writer};
    pylon::FileLogger uninstall{QStringLiteral("uninstall"), QStringLiteral("net.ostrand.Pylon-Dev"), writer};
    pylon::Loggers loggers{menubar, installer, manager, uninstall};
    pylon::BuildEnvironment environment{pylon::Bundle::atPath(makeBundle(home.path())).facts(),
                                        QStringLiteral("x86_64"), dataHome};
    pylon::UserDefaults defaults{environment.bundleIdentifier(), home.path() + QStringLiteral("/config")};
    pylon::ProcessServiceManager services{pylon::ServiceAgent::companion(environment, dataHome), manager};
    NoWorkspace workspace;
    pylon::SteadyClock clock;
    pylon::PylonController controller{
        pylon::ControllerContext{environment,
                                 defaults,
                                 services,
                                 workspace,
                                 clock,
                                 loggers,
                                 {},
                                 companion->port(),
                                 pylon::AbletonSetupManager::Options{home.path(), dataHome}}};

    // Whether the agent is registered, so status() answers "enabled" as in use.
    bool registerAgent() {
        const pylon::ServiceAgent agent = pylon::ServiceAgent::companion(environment, dataHome);
        QDir().mkpath(QFileInfo(agent.plistPath()).absolutePath());
        QFile plist(agent.plistPath());
        if (!plist.open(QIODevice::WriteOnly) ||
            plist.write(pylon::PropertyList::serialize(
                QVariantMap{{QStringLiteral("Label"), agent.label},
                            {QStringLiteral("BundleProgram"), QStringLiteral("Contents/Helpers/companion")},
                            {QStringLiteral("KeepAlive"), true}})) < 0)
            return false;
        plist.close();
        QCoro::waitFor(services.registerAgent());
        return QCoro::waitFor(services.queryStatus()) == pylon::ServiceManager::enabled;
    }
};

void BM_OnePoll(benchmark::State& state) {
    PollFixture fixture;
    if (!companion->port() || !fixture.registerAgent()) {
        state.SkipWithError("no companion stand-in or no registration");
        return;
    }
    for (auto _ : state)
        QCoro::waitFor(fixture.controller.pollOnce());
    if (!fixture.controller.dynamicStatus().lastResponse() ||
        !fixture.controller.dynamicStatus().isCompanionRegistered())
        state.SkipWithError("no status arrived");
}
BENCHMARK(BM_OnePoll)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_Floor_GetAndDecode(benchmark::State& state) {
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/status").arg(companion->port()));
    bool decoded = true;
    for (auto _ : state) {
        QNetworkReply* reply = manager.get(QNetworkRequest(url));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        decoded = decoded && document.isObject();
        delete reply;
    }
    if (!decoded)
        state.SkipWithError("no status arrived");
}
BENCHMARK(BM_Floor_GetAndDecode)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    CompanionProcess stand_in; // before any thread starts
    companion = &stand_in;
    QCoreApplication app(argc, argv);
    using pylon::bench::Measure;
    using pylon::bench::Quantity;
    return pylon::bench::runWithTable(argc, argv,
                                      {
                                          Measure{.name = "status poll, whole process CPU",
                                                  .benchmark = "BM_OnePoll",
                                                  .floor = "BM_Floor_GetAndDecode",
                                                  .maxRatio = 1.5},
                                          Measure{.name = "status poll, wall time",
                                                  .benchmark = "BM_OnePoll",
                                                  .floor = "BM_Floor_GetAndDecode",
                                                  .quantity = Quantity::realTime},
                                      });
}
