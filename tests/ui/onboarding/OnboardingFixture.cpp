#include "OnboardingFixture.h"

#include "TestBundle.h"
#include "diagnostics/FileLogger.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/Bundle.h"
#include "status/StatusCodec.h"
#include "ui/onboarding/OnboardingPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

namespace pylon::test {

QString sourceResource(const QString& fileName) {
    const QByteArray root = qgetenv("PYLON_SOURCE_DIR");
    const QString source = root.isEmpty() ? QStringLiteral(PYLON_TEST_SOURCE_DIR) : QString::fromLocal8Bit(root);
    return source + QStringLiteral("/app/resources/") + fileName;
}

void setUpProcessHome() {
    static TemporaryHome* processHome = nullptr;
    if (processHome)
        return;
    processHome = new TemporaryHome();
    FileLogger::menubar();
    FileLogger::installer();
    FileLogger::companionManager();
}

CompanionStatusResponse companionStatus(bool addonLoaded, bool addonAvailable, bool accessibility, bool automation) {
    CompanionStatusResponse companion;
    companion.condition = CompanionCondition::running;
    companion.isAcceleratorAddonLoaded = addonLoaded;
    companion.isAcceleratorAvailable = addonAvailable;
    companion.permissions = CompanionPermissions{accessibility, automation};
    companion.host = HostInfo{{QStringLiteral("127.0.0.1")}, QStringLiteral("test")};
    companion.version = QStringLiteral("1.0.0");
    return companion;
}

QStringList logMessages(const QByteArray& logFile) {
    QStringList messages;
    for (const QByteArray& line : logFile.split('\n')) {
        const qsizetype tags = line.indexOf("][");
        if (tags < 0)
            continue;
        messages << QString::fromUtf8(line.mid(line.indexOf("] ", tags) + 2));
    }
    return messages;
}

namespace {

QString bundleName(const QString& identifier) {
    return identifier.endsWith(QStringLiteral("-Dev")) ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon");
}

QString makeResourceBundle(const QString& parent, const QString& identifier, const QStringList& resources) {
    const QString path = makeBundle(parent, bundleName(identifier),
                                    bundleInfo(identifier, QStringLiteral("1.0.0"), QStringLiteral("1")));
    for (const QString& resource : resources) {
        QFile::copy(sourceResource(resource),
                    path + QStringLiteral("/Contents/Resources/") + QFileInfo(resource).fileName());
    }
    return path;
}

} // namespace

OnboardingFixture::OnboardingFixture(const QString& bundleIdentifier, const QStringList& resources)
    : bundlePath(makeResourceBundle(home.path(), bundleIdentifier, resources))
    , environment(Bundle::atPath(bundlePath), QStringLiteral("x86_64"), home.dataHome())
    , defaults(bundleIdentifier, home.configHome()) {
    server.listen();
    server.body = "{}"; // not a status document until a test publishes one
    services.statusValue = ServiceManager::enabled;
    controller = std::make_unique<PylonController>(
        ControllerContext{environment, defaults, services, workspace, clock,
                          [] { return std::make_unique<AccessibilityNotifications>(); }, server.port()});
    store = std::make_unique<ui::OnboardingStore>(defaults);
}

OnboardingFixture::~OnboardingFixture() {
    flow.reset();
    controller.reset();
}

ui::OnboardingFlow& OnboardingFixture::makeFlow() {
    flow = std::make_unique<ui::OnboardingFlow>(
        *store, *controller,
        [this] {
            ++completions;
            store->completeOnboarding();
        },
        environment);
    return *flow;
}

void OnboardingFixture::publish(const std::optional<CompanionStatusResponse>& companion) {
    if (companion) {
        StatusResponse response;
        response.companion = *companion;
        server.body = encodeStatusResponse(response);
        status().setLastResponse(response);
    } else {
        server.body = "{}";
        status().setLastResponse(std::nullopt);
    }
}

void OnboardingFixture::pressPrimary() {
    QTest::mouseClick(flow->currentPage()->primaryButton(), Qt::LeftButton);
}

int OnboardingFixture::permissionRequests(const QByteArray& name) const {
    int count = 0;
    for (const FakeCompanionServer::Request& request : server.requests) {
        if (request.method == "POST" && request.path == "/permission/" + name)
            ++count;
    }
    return count;
}

} // namespace pylon::test
